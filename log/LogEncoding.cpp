#include "log/LogEncoding.h"

#include "platform/LocaleCharset.h"

namespace tessaly {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is not
// one (a stray byte, an overlong form, a cut-off sequence).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F) ||
        (lead == 0xED && second > 0x9F))
        return 0;
    return length;
}

}  // namespace

std::string EncodeLogText(const std::string& text, std::size_t maxBytes) {
    CLocaleCharset converter;
    std::string encoded;
    std::size_t i = 0;
    while (i < text.size() && text[i] != '\0') {
        const std::size_t length = Utf8SequenceLength(text, i);
        // Every locale character set keeps ASCII as it is.
        const std::string bytes = length == 0   ? std::string("?")
                                  : length == 1 ? std::string(1, text[i])
                                                : converter.Convert(&text[i], length);
        if (encoded.size() + bytes.size() > maxBytes) break;
        encoded += bytes;
        i += length == 0 ? 1 : length;
    }
    return encoded;
}

}  // namespace tessaly
