#include "log/LogEncoding.h"

#include "platform/LocaleCharset.h"
#include "platform/Utf8.h"

namespace tessaly {

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
