#include "archive/output/OutputNames.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "archive/EntryName.h"
#include "platform/FileSystem.h"

namespace tessaly {

namespace {

bool IsReservedCharacter(unsigned char c) {
    switch (c) {
        case '<':
        case '>':
        case ':':
        case '"':
        case '|':
        case '?':
        case '*': return true;
        default: return c < 0x20 || c == 0x7F;
    }
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return i == a.size() && b[i] == '\0';
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (and the console's own CONIN$ and
// CONOUT$): Windows opens the device whatever extension follows.
bool IsDeviceName(std::string stem) {
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualsIgnoringCase(stem, device)) return true;
    if (stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9')
        return EqualsIgnoringCase(stem.substr(0, 3), "COM") || EqualsIgnoringCase(stem.substr(0, 3), "LPT");
    return false;
}

std::string WindowsComponent(std::string name) {
    for (char& c : name)
        if (IsReservedCharacter(static_cast<unsigned char>(c))) c = '_';
    for (std::size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) name[i - 1] = '_';
    const std::size_t dot = name.find('.');
    if (IsDeviceName(name.substr(0, dot))) name.insert(dot == std::string::npos ? name.size() : dot, "_");
    return name;
}

std::uint32_t Fnv1a(const std::string& text) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    return hash;
}

// The longest start of `text` of at most `bytes` bytes that ends on a whole
// UTF-8 character.
std::string CutAtCharacter(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
    return text.substr(0, bytes);
}

// The extension kept when a component is shortened: ".ext" of at most 32
// bytes after the dot. A longer one is no extension worth keeping.
std::string::size_type ShortenableExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && name.size() - dot <= 33 ? name.size() - dot : 0;
}

// "<start>~<hash><suffix>.<extension>", at most kMaxComponentBytes long; the
// hash is of the whole of `name`, so two long names that share a beginning
// stay apart.
std::string ShortenedComponent(const std::string& name, const std::string& suffix = std::string()) {
    char hash[16];
    std::snprintf(hash, sizeof hash, "~%08x", static_cast<unsigned>(Fnv1a(name)));
    const std::string extension = name.substr(name.size() - ShortenableExtension(name));
    const std::string stem = name.substr(0, name.size() - extension.size());
    return CutAtCharacter(stem, kMaxComponentBytes - extension.size() - suffix.size() - 9) + hash + suffix + extension;
}

// `name` (one component, already mapped for the rules) numbered n:
// "stem (n).ext", shortened like any long component when that is longer
// than kMaxComponentBytes, the " (n)" kept whole.
std::string NumberedComponent(const std::string& name, unsigned n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    const std::size_t dot = name.rfind('.');
    const std::size_t stemLength = dot != std::string::npos && dot > 0 ? dot : name.size();
    if (name.size() + suffix.size() <= kMaxComponentBytes)
        return name.substr(0, stemLength) + suffix + name.substr(stemLength);
    return ShortenedComponent(name, suffix);
}

// Appends a UTF-8 character, lower-cased where Windows would fold it: ASCII,
// Latin-1, Greek and Cyrillic capitals.
void AppendFolded(std::string& out, const std::string& text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        out += AsciiLower(text[i++]);
        return;
    }
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 2 && i + 1 < text.size()) {
        unsigned code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
        if ((code >= 0xC0 && code <= 0xDE && code != 0xD7) || (code >= 0x391 && code <= 0x3AB) ||
            (code >= 0x410 && code <= 0x42F))
            code += 0x20;
        else if (code >= 0x400 && code <= 0x40F)
            code += 0x50;
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
        i += 2;
        return;
    }
    out.append(text, i, length);
    i += length;
}

}  // namespace

NameRules NameRules::ForThisSystem() {
#ifdef _WIN32
    return NameRules{true, true};
#else
    return NameRules{false, false};
#endif
}

std::string StorableComponent(const std::string& component, const NameRules& rules) {
    std::string name = rules.windowsNames ? WindowsComponent(component) : component;
    return name.size() > kMaxComponentBytes ? ShortenedComponent(name) : name;
}

std::filesystem::path OutputRelativePath(const std::string& entryName, const NameRules& rules) {
    std::filesystem::path result;
    for (const std::string& part : SafeComponents(entryName)) result /= PathFromUtf8(StorableComponent(part, rules));
    return result;
}

std::string OutputPathKey(const std::string& genericUtf8, const NameRules& rules) {
    if (!rules.caseInsensitive) return genericUtf8;
    std::string key;
    key.reserve(genericUtf8.size());
    for (std::size_t i = 0; i < genericUtf8.size();) AppendFolded(key, genericUtf8, i);
    return key;
}

COutputNames::COutputNames(NameRules rules) : rules_(rules) {}

std::filesystem::path COutputNames::Claim(const std::string& entryName) {
    std::vector<std::string> parts = SafeComponents(entryName);
    if (parts.empty()) return {};
    // The folders as they are stored; the file's own component numbered
    // before it is shortened, so that every numbered name can be written.
    const std::string file = rules_.windowsNames ? WindowsComponent(parts.back()) : parts.back();
    parts.pop_back();
    std::string folders;
    for (const std::string& part : parts) folders += StorableComponent(part, rules_) + '/';
    // One stored name is one file whatever its separators; any other name
    // that maps to the same path is a name of its own.
    std::string name = entryName;
    std::replace(name.begin(), name.end(), '\\', '/');
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto known = pathOfName_.find(name); known != pathOfName_.end()) return known->second;
    std::string candidate = folders + (file.size() > kMaxComponentBytes ? ShortenedComponent(file) : file);
    // Numbering goes on from the last number this path was given, so many
    // names for one path cost one try each, not one per earlier name.
    unsigned& last = lastNumberOf_[OutputPathKey(candidate, rules_)];
    for (unsigned n = std::max(last, 1u);; ++n) {
        if (n > 1) candidate = folders + NumberedComponent(file, n);
        const auto [owner, added] = ownerOfKey_.emplace(OutputPathKey(candidate, rules_), name);
        if (added || owner->second == name) {
            last = n;
            break;
        }
    }
    return pathOfName_.emplace(std::move(name), PathFromUtf8(candidate)).first->second;
}

}  // namespace tessaly
