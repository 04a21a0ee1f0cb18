#include "tests/cli/JsonValue.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace tessaly::clitest {
namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    JsonValue Document() {
        JsonValue value = Value();
        Blank();
        if (i_ != s_.size()) throw std::runtime_error("text after the value");
        return value;
    }

private:
    void Blank() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
    }
    char Peek() {
        Blank();
        if (i_ >= s_.size()) throw std::runtime_error("unexpected end");
        return s_[i_];
    }
    void Expect(char c) {
        if (Peek() != c) throw std::runtime_error(std::string("expected ") + c);
        ++i_;
    }
    void Word(const char* word) {
        for (const char* p = word; *p; ++p, ++i_)
            if (i_ >= s_.size() || s_[i_] != *p) throw std::runtime_error("bad literal");
    }

    JsonValue Value() {
        JsonValue v;
        const char c = Peek();
        if (c == '{')
            Object(v);
        else if (c == '[')
            Array(v);
        else if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = String();
        } else if (c == 't') {
            Word("true");
            v.kind = JsonValue::Kind::Bool;
            v.boolean = true;
        } else if (c == 'f') {
            Word("false");
            v.kind = JsonValue::Kind::Bool;
        } else if (c == 'n')
            Word("null");
        else
            Number(v);
        return v;
    }

    void Object(JsonValue& v) {
        v.kind = JsonValue::Kind::Object;
        Expect('{');
        if (Peek() == '}') {
            ++i_;
            return;
        }
        do {
            if (Peek() != '"') throw std::runtime_error("key expected");
            std::string key = String();
            Expect(':');
            v.members[key] = Value();
        } while (Peek() == ',' && ++i_);
        Expect('}');
    }

    void Array(JsonValue& v) {
        v.kind = JsonValue::Kind::Array;
        Expect('[');
        if (Peek() == ']') {
            ++i_;
            return;
        }
        do v.items.push_back(Value());
        while (Peek() == ',' && ++i_);
        Expect(']');
    }

    void Number(JsonValue& v) {
        const std::size_t start = i_;
        if (s_[i_] == '-') ++i_;
        const std::size_t digits = i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        if (i_ == digits || (s_[digits] == '0' && i_ - digits > 1)) throw std::runtime_error("bad number");
        v.kind = JsonValue::Kind::Number;
        v.number = std::strtod(s_.substr(start, i_ - start).c_str(), nullptr);
    }

    std::string String() {
        ++i_;  // opening quote
        std::string out;
        while (true) {
            if (i_ >= s_.size()) throw std::runtime_error("open string");
            const auto c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return out;
            if (c < 0x20) throw std::runtime_error("raw control character in string");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            Escape(out);
        }
    }

    void Escape(std::string& out) {
        if (i_ >= s_.size()) throw std::runtime_error("open escape");
        const char e = s_[i_++];
        switch (e) {
            case '"':
            case '\\':
            case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                if (i_ + 4 > s_.size()) throw std::runtime_error("short \\u");
                const unsigned long code = std::strtoul(s_.substr(i_, 4).c_str(), nullptr, 16);
                i_ += 4;
                if (code >= 0x80) throw std::runtime_error("test reader takes only ASCII \\u escapes");
                out += static_cast<char>(code);
                break;
            }
            default: throw std::runtime_error("bad escape");
        }
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

// Well-formed UTF-8 throughout, as JSON text must be.
bool IsUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
        i += n;
    }
    return true;
}

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    const auto found = members.find(key);
    if (found == members.end()) throw std::out_of_range("no member " + key);
    return found->second;
}

std::optional<JsonValue> ParseJson(const std::string& text) {
    if (!IsUtf8(text)) return std::nullopt;
    try {
        return Parser(text).Document();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace tessaly::clitest
