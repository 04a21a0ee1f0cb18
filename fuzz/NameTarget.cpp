#include "fuzz/NameTarget.h"

#include <cstring>
#include <unordered_map>
#include <vector>

#include "archive/EntryName.h"
#include "platform/FileSystem.h"
#include "platform/Utf8.h"

namespace tessaly::fuzz {
namespace {

namespace fs = std::filesystem;

bool IsDevice(std::string stem) {
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (stem == device) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

std::string WindowsComponentFault(const std::string& component) {
    for (unsigned char c : component)
        if (c < 0x20 || c == 0x7F || std::strchr("<>:\"|?*", c) != nullptr)
            return "reserved character in \"" + component + "\"";
    if (component.back() == '.' || component.back() == ' ') return "trailing dot or blank in \"" + component + "\"";
    if (IsDevice(component.substr(0, component.find('.')))) return "device name \"" + component + "\"";
    return {};
}

std::string ComponentFault(const std::string& component, const NameRules& rules, PathCheck check) {
    if (component.empty() || component == "." || component == "..") return "component \"" + component + "\"";
    if (component.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        return "separator or NUL in \"" + component + "\"";
    if (check == PathCheck::Placement) return {};
    if (!IsValidUtf8(component)) return "invalid UTF-8 in \"" + component + "\"";
    if (check == PathCheck::Text) return {};
    if (component.size() > kMaxComponentBytes)
        return "component of " + std::to_string(component.size()) + " bytes: \"" + component + "\"";
    return rules.windowsNames ? WindowsComponentFault(component) : std::string();
}

std::string GenericUtf8(const fs::path& path) {
    const auto text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::string Check(const fs::path& mapped, const NameRules& rules, PathCheck check, const std::string& name,
                  const char* what) {
    const std::string fault = OutputPathFault(mapped, rules, check);
    return fault.empty() ? fault : std::string(what) + " of \"" + name + "\": " + fault;
}

// Claims every name (each twice, the second time after the others) and
// checks what comes back.
std::string ClaimAll(const std::vector<std::string>& names, const NameRules& rules) {
    COutputNames claims(rules);
    std::vector<fs::path> claimed;
    std::unordered_map<std::string, std::string> belowOfKey;  // the file's key -> the name's place below the root
    for (const std::string& name : names) {
        claimed.push_back(claims.Claim(name));
        if (claimed.back().empty()) continue;
        std::string fault = Check(claimed.back(), rules, PathCheck::Storable, name, "claimed path");
        if (!fault.empty()) return fault;
        const std::string below = GenericUtf8(SafeRelativePath(name));
        const auto [owner, added] = belowOfKey.emplace(OutputPathKey(GenericUtf8(claimed.back()), rules), below);
        if (!added && owner->second != below)
            return "\"" + owner->second + "\" and \"" + below + "\" both claimed " + GenericUtf8(claimed.back());
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        if (claims.Claim(names[i]) != claimed[i]) return "\"" + names[i] + "\" claimed again gives another path";
    return {};
}

// One stored name on its own: decoded to UTF-8, and its safe and output
// paths. Where a path holds bytes (POSIX) the raw bytes too: whatever they
// are, the path stays below.
std::string NameFault(const std::string& raw, const std::string& name, const NameRules& rules) {
    std::string fault;
#ifndef _WIN32
    fault = Check(SafeRelativePath(raw), rules, PathCheck::Placement, raw, "safe path of the raw bytes");
#else
    (void)raw;
#endif
    if (fault.empty() && !IsValidUtf8(name)) fault = "decoded name is not UTF-8: \"" + name + "\"";
    if (fault.empty()) fault = Check(SafeRelativePath(name), rules, PathCheck::Text, name, "safe path");
    if (fault.empty()) fault = Check(OutputRelativePath(name, rules), rules, PathCheck::Storable, name, "output path");
    return fault;
}

}  // namespace

std::string OutputPathFault(const fs::path& mapped, const NameRules& rules, PathCheck check) {
    if (mapped.empty()) return {};
    if (mapped.is_absolute() || mapped.has_root_name() || mapped.has_root_directory())
        return "not relative: " + GenericUtf8(mapped);
    for (const fs::path& part : mapped) {
        const std::string fault = ComponentFault(PathToUtf8(part), rules, check);
        if (!fault.empty()) return fault;
    }
    const fs::path root = fs::path("destination") / "root";
    const fs::path joined = (root / mapped).lexically_normal();
    const fs::path relative = joined.lexically_relative(root);
    if (relative.empty() || *relative.begin() == ".." || relative != mapped.lexically_normal())
        return "leaves the destination: " + GenericUtf8(joined);
    return {};
}

std::string CheckNameMapping(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {};
    const NameRules rules{(data[0] & 1) != 0, (data[0] & 2) != 0};
    const bool utf8Flag = (data[0] & 4) != 0;
    std::vector<std::string> names;
    for (std::size_t start = 1; start <= size;) {
        const void* nul = start < size ? std::memchr(data + start, 0, size - start) : nullptr;
        const std::size_t end =
            nul != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : size;
        const std::string raw(reinterpret_cast<const char*>(data + start), end - start);
        names.push_back(DecodeEntryName(data + start, end - start, utf8Flag));
        if (std::string fault = NameFault(raw, names.back(), rules); !fault.empty()) return fault;
        start = end + 1;
    }
    return ClaimAll(names, rules);
}

}  // namespace tessaly::fuzz
