// The character set of the user's locale (normally UTF-8; the system's ANSI
// code page on Windows): converting one character at a time into it, with
// "?" for every character the set lacks.
#pragma once

#include <cstddef>
#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace tessaly {

class CLocaleCharset {
public:
    CLocaleCharset();
    ~CLocaleCharset();
    CLocaleCharset(const CLocaleCharset&) = delete;
    CLocaleCharset& operator=(const CLocaleCharset&) = delete;

    // `utf8` holds one whole UTF-8 character of `length` bytes.
    std::string Convert(const char* utf8, std::size_t length);

private:
    bool passThrough_ = false;  // the target set is UTF-8 itself
#ifndef _WIN32
    iconv_t iconv_ = reinterpret_cast<iconv_t>(-1);
#endif
};

}  // namespace tessaly
