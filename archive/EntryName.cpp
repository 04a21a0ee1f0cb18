#include "archive/EntryName.h"

#include <cstring>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Utf8.h"

namespace tessaly {

namespace {

// Code page 437 above 0x7F, the ZIP default for names without the UTF-8 flag.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string DecodeCp437(const std::uint8_t* s, std::size_t n) {
    std::string out;
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i)
        AppendUtf8(out, s[i] < 0x80 ? char32_t{s[i]} : char32_t{kCp437High[s[i] - 0x80]});
    return out;
}

// "C:" in front of a name, as a Windows drive part.
bool HasDrivePart(const std::string& name) {
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

}  // namespace

std::string DecodeEntryName(const std::uint8_t* bytes, std::size_t length, bool utf8Flag) {
    const void* nul = std::memchr(bytes, 0, length);
    if (nul != nullptr) length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - bytes);
    const std::string_view text(reinterpret_cast<const char*>(bytes), length);
    if (IsValidUtf8(text)) return std::string(text);
    // A name flagged UTF-8 that is not valid UTF-8 is still kept, byte by byte.
    (void)utf8Flag;
    return DecodeCp437(bytes, length);
}

bool IsJunkName(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20) return true;
        if (c == 'P' && i + 2 < name.size() && name[i + 1] == 'K') {
            auto next = static_cast<unsigned char>(name[i + 2]);
            if (next >= 0x01 && next <= 0x08) return true;
        }
    }
    return false;
}

bool IsUsableName(const std::string& name) { return !IsJunkName(name) && !SafeRelativePath(name).empty(); }

std::vector<std::string> SafeComponents(const std::string& name) {
    std::vector<std::string> parts;
    std::size_t start = HasDrivePart(name) ? 2 : 0;
    for (std::size_t i = start; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
        const std::size_t length = i - start;
        const bool dots = (length == 1 && name[start] == '.') || (length == 2 && name.compare(start, 2, "..") == 0);
        if (length > 0 && !dots) parts.emplace_back(name, start, length);
        start = i + 1;
    }
    return parts;
}

std::filesystem::path SafeRelativePath(const std::string& name) {
    std::filesystem::path result;
    for (const std::string& part : SafeComponents(name)) result /= PathFromUtf8(part);
    return result;
}

}  // namespace tessaly
