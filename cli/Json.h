// The JSON text the --json output is built from: string quoting with every
// escape JSON requires, and a small builder for one flat object. Strings are
// UTF-8; byte sequences that are not valid UTF-8 become U+FFFD, so the output
// is always valid JSON whatever a name or path holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly::cli {

// The text quoted as a JSON string.
std::string JsonQuote(std::string_view utf8);

class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string_view text);
    JsonObject& AddNumber(std::string_view key, std::uint64_t value);
    JsonObject& AddBool(std::string_view key, bool value);
    JsonObject& AddNull(std::string_view key);
    // `json` must already be valid JSON (a nested object or array).
    JsonObject& AddRaw(std::string_view key, std::string_view json);

    std::string Text() const { return body_ + "}"; }

private:
    JsonObject& Key(std::string_view key);

    std::string body_ = "{";
};

}  // namespace tessaly::cli
