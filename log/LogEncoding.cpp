#include "log/LogEncoding.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#endif

namespace tessaly {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is not
// one (a stray byte, an overlong form, a cut-off sequence).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F) || (lead == 0xED && second > 0x9F))
        return 0;
    return length;
}

// Converts one character at a time into the target set; "?" for what the
// set lacks.
class CharacterConverter {
public:
    CharacterConverter();
    ~CharacterConverter();
    CharacterConverter(const CharacterConverter&) = delete;
    CharacterConverter& operator=(const CharacterConverter&) = delete;

    std::string Convert(const char* utf8, std::size_t length);

private:
    bool passThrough_ = false;  // the target set is UTF-8 itself
#ifndef _WIN32
    iconv_t iconv_ = reinterpret_cast<iconv_t>(-1);
#endif
};

#ifdef _WIN32
CharacterConverter::CharacterConverter() = default;
CharacterConverter::~CharacterConverter() = default;

std::string CharacterConverter::Convert(const char* utf8, std::size_t length) {
    wchar_t wide[2];
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8,
                                          static_cast<int>(length), wide, 2);
    char bytes[8];
    BOOL lossy = FALSE;
    const int count = units > 0 ? WideCharToMultiByte(CP_ACP, 0, wide, units, bytes, sizeof bytes,
                                                      "?", &lossy)
                                : 0;
    if (count <= 0 || lossy)
        return "?";
    return std::string(bytes, static_cast<std::size_t>(count));
}
#else
CharacterConverter::CharacterConverter() {
    locale_t userLocale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (userLocale == static_cast<locale_t>(nullptr))
        userLocale = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    const char* codeset = userLocale ? nl_langinfo_l(CODESET, userLocale) : "ANSI_X3.4-1968";
    passThrough_ = strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0;
    if (!passThrough_)
        iconv_ = iconv_open(codeset, "UTF-8");
    if (userLocale)
        freelocale(userLocale);
}

CharacterConverter::~CharacterConverter() {
    if (iconv_ != reinterpret_cast<iconv_t>(-1))
        iconv_close(iconv_);
}

std::string CharacterConverter::Convert(const char* utf8, std::size_t length) {
    if (passThrough_)
        return std::string(utf8, length);
    if (iconv_ == reinterpret_cast<iconv_t>(-1))
        return length == 1 ? std::string(utf8, 1) : "?";
    char out[16];
    char* in = const_cast<char*>(utf8);
    char* outPos = out;
    std::size_t inLeft = length;
    std::size_t outLeft = sizeof out;
    iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(iconv_, &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1) ||
        inLeft != 0)
        return "?";
    return std::string(out, static_cast<std::size_t>(outPos - out));
}
#endif

}  // namespace

std::string EncodeLogText(const std::string& text, std::size_t maxBytes) {
    CharacterConverter converter;
    std::string encoded;
    std::size_t i = 0;
    while (i < text.size() && text[i] != '\0') {
        const std::size_t length = Utf8SequenceLength(text, i);
        // Every locale character set keeps ASCII as it is.
        const std::string bytes = length == 0   ? std::string("?")
                                  : length == 1 ? std::string(1, text[i])
                                                : converter.Convert(&text[i], length);
        if (encoded.size() + bytes.size() > maxBytes)
            break;
        encoded += bytes;
        i += length == 0 ? 1 : length;
    }
    return encoded;
}

}  // namespace tessaly
