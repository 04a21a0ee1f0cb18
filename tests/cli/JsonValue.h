// A strict little JSON reader for the tests: it accepts only what RFC 8259
// allows (so it doubles as the validity check of the tool's --json output)
// and gives the parsed value back for inspection.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaly::clitest {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const;
    const JsonValue& operator[](std::size_t index) const { return items.at(index); }
    bool Has(const std::string& key) const { return members.count(key) > 0; }
};

// The value, or nothing when the text is not exactly one valid JSON value.
std::optional<JsonValue> ParseJson(const std::string& text);

}  // namespace tessaly::clitest
