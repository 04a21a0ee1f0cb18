#include "archive/OutputNames.h"

#include <cstdint>
#include <cstdio>

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

// "<start>~<hash>.<extension>", at most kMaxComponentBytes long. An
// extension of more than 32 bytes is no extension worth keeping.
std::string ShortenedComponent(const std::string& name) {
    char hash[16];
    std::snprintf(hash, sizeof hash, "~%08x", static_cast<unsigned>(Fnv1a(name)));
    const std::size_t dot = name.rfind('.');
    const std::string extension =
        dot != std::string::npos && dot > 0 && name.size() - dot <= 33 ? name.substr(dot) : std::string();
    const std::string stem = name.substr(0, name.size() - extension.size());
    return CutAtCharacter(stem, kMaxComponentBytes - extension.size() - 9) + hash + extension;
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

std::string GenericUtf8(const std::filesystem::path& path) {
    const auto text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// "name (n).ext" for the last component of `relative`.
std::filesystem::path NumberedPath(const std::filesystem::path& relative, unsigned n) {
    const std::string name = PathToUtf8(relative.filename());
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    const std::string suffix = " (" + std::to_string(n) + ")";
    const std::string numbered =
        CutAtCharacter(stem, kMaxComponentBytes - suffix.size() - extension.size()) + suffix + extension;
    return relative.parent_path() / PathFromUtf8(numbered);
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
    for (const auto& part : SafeRelativePath(entryName))
        result /= PathFromUtf8(StorableComponent(PathToUtf8(part), rules));
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
    const std::filesystem::path wanted = OutputRelativePath(entryName, rules_);
    if (wanted.empty()) return wanted;
    const std::string name = GenericUtf8(SafeRelativePath(entryName));
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto known = pathOfName_.find(name); known != pathOfName_.end()) return known->second;
    std::filesystem::path candidate = wanted;
    for (unsigned n = 2;; ++n) {
        const auto [owner, added] = ownerOfKey_.emplace(OutputPathKey(GenericUtf8(candidate), rules_), name);
        if (added || owner->second == name) break;
        candidate = NumberedPath(wanted, n);
    }
    pathOfName_.emplace(name, candidate);
    return candidate;
}

}  // namespace tessaly
