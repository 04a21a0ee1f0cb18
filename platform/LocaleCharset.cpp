#include "platform/LocaleCharset.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#endif

namespace tessaly {

#ifdef _WIN32
CLocaleCharset::CLocaleCharset() = default;
CLocaleCharset::~CLocaleCharset() = default;

std::string CLocaleCharset::Convert(const char* utf8, std::size_t length) {
    wchar_t wide[2];
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(length), wide, 2);
    char bytes[8];
    BOOL lossy = FALSE;
    // No best-fit mapping: a character the code page lacks becomes "?", never
    // a look-alike (an "a" for an "ā", a "\\" for a "¥").
    const int count =
        units > 0 ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, bytes, sizeof bytes, "?", &lossy)
                  : 0;
    if (count <= 0 || lossy) return "?";
    return std::string(bytes, static_cast<std::size_t>(count));
}
#else
CLocaleCharset::CLocaleCharset() {
    locale_t userLocale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (userLocale == static_cast<locale_t>(nullptr))
        userLocale = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    const char* codeset = userLocale ? nl_langinfo_l(CODESET, userLocale) : "ANSI_X3.4-1968";
    passThrough_ = strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0;
    if (!passThrough_) iconv_ = iconv_open(codeset, "UTF-8");
    if (userLocale) freelocale(userLocale);
}

CLocaleCharset::~CLocaleCharset() {
    if (iconv_ != reinterpret_cast<iconv_t>(-1)) iconv_close(iconv_);
}

std::string CLocaleCharset::Convert(const char* utf8, std::size_t length) {
    if (passThrough_) return std::string(utf8, length);
    if (iconv_ == reinterpret_cast<iconv_t>(-1)) return length == 1 ? std::string(utf8, 1) : "?";
    char out[16];
    char* in = const_cast<char*>(utf8);
    char* outPos = out;
    std::size_t inLeft = length;
    std::size_t outLeft = sizeof out;
    iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(iconv_, &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return "?";
    return std::string(out, static_cast<std::size_t>(outPos - out));
}
#endif

}  // namespace tessaly
