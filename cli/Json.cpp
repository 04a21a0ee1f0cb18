#include "cli/Json.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace tessaly::cli {
namespace {

void AppendEscapedAscii(std::string& out, unsigned char c) {
    switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
    }
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            AppendEscapedAscii(out, c);
            ++i;
        } else if (const std::size_t n = Utf8SequenceLength(utf8, i)) {
            out.append(utf8.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no valid sequence
            ++i;
        }
    }
    out += '"';
    return out;
}

JsonObject& JsonObject::Key(std::string_view key) {
    if (body_.size() > 1) body_ += ',';
    body_ += JsonQuote(key);
    body_ += ':';
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view text) {
    Key(key).body_ += JsonQuote(text);
    return *this;
}

JsonObject& JsonObject::AddNumber(std::string_view key, std::uint64_t value) {
    Key(key).body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
    Key(key).body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::AddNull(std::string_view key) {
    Key(key).body_ += "null";
    return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
    Key(key).body_ += json;
    return *this;
}

}  // namespace tessaly::cli
