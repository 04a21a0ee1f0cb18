#include "archive/repair/NewRecords.h"

#include <algorithm>

#include "archive/EntryName.h"
#include "archive/SkipRules.h"
#include "archive/ZipRecords.h"

namespace tessaly {
namespace {

constexpr std::uint16_t kVersionStored = 10;
constexpr std::uint16_t kVersionDeflated = 20;
constexpr std::uint16_t kVersionDeflate64 = 21;
constexpr std::uint16_t kVersionBZip2 = 46;
constexpr std::uint16_t kVersionAes = 51;
constexpr std::uint16_t kVersionLzma = 63;

// Flags a new record keeps: encryption, the compression options, the
// descriptor and the UTF-8 name.
constexpr std::uint16_t kKeptFlags = 0x0001 | 0x0002 | 0x0004 | zip::kFlagDescriptor | zip::kFlagUtf8Name;

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string RepairedName(const CFileHeader& entry) {
    std::string name;
    for (const std::string& component : SafeComponents(entry.fileName)) {
        if (!name.empty()) name += '/';
        name += component;
    }
    if (!name.empty() && IsFolderEntry(entry)) name += '/';
    return name;
}

std::vector<std::uint8_t> WellFormedExtra(const std::vector<std::uint8_t>& extra,
                                          const std::optional<AesExtraField>& aes) {
    std::vector<std::uint8_t> kept;
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint16_t id = static_cast<std::uint16_t>(extra[at] | extra[at + 1] << 8);
        const std::size_t size = extra[at + 2] | extra[at + 3] << 8;
        if (size > extra.size() - at - 4) break;
        if (id != zip::kZip64ExtraId && id != kAesExtraId)
            kept.insert(kept.end(), extra.begin() + at, extra.begin() + at + 4 + size);
        at += 4 + size;
    }
    if (aes) {
        const std::uint8_t block[] = {kAesExtraId & 0xFF,
                                      kAesExtraId >> 8,
                                      7,
                                      0,
                                      static_cast<std::uint8_t>(aes->vendorVersion),
                                      static_cast<std::uint8_t>(aes->vendorVersion >> 8),
                                      'A',
                                      'E',
                                      aes->strength,
                                      static_cast<std::uint8_t>(aes->method),
                                      static_cast<std::uint8_t>(aes->method >> 8)};
        kept.insert(kept.end(), std::begin(block), std::end(block));
    }
    return kept;
}

std::uint16_t VersionNeededFor(std::uint16_t method, bool encrypted) {
    std::uint16_t version = kVersionDeflated;
    switch (method) {
        case zip::kMethodStored: version = encrypted ? kVersionDeflated : kVersionStored; break;
        case zip::kMethodDeflated: version = kVersionDeflated; break;
        case 9: version = kVersionDeflate64; break;
        case 12: version = kVersionBZip2; break;
        case kMethodAes: version = kVersionAes; break;
        default: version = kVersionLzma; break;  // LZMA, XZ, Zstandard and the later methods
    }
    return version;
}

NewEntry RecordFor(const CFileHeader& entry, const std::string& name, std::uint16_t method, bool descriptor) {
    NewEntry record;
    record.name = name;
    record.method = method;
    record.flags = entry.flags & kKeptFlags;
    if (!descriptor) record.flags &= ~zip::kFlagDescriptor;
    if (!IsAscii(name)) record.flags |= zip::kFlagUtf8Name;
    record.versionNeeded = VersionNeededFor(method, (record.flags & zip::kFlagEncrypted) != 0);
    // The writer's own system and version where the original did not say.
    record.versionMadeBy = entry.versionMadeBy != 0 ? entry.versionMadeBy : kVersionDeflated;
    record.modTime = entry.modTime;
    record.modDate = entry.modDate;
    record.internalAttributes = entry.internalAttributes;
    record.externalAttributes = entry.externalAttributes;
    return record;
}

}  // namespace tessaly
