#include "archive/SkipRules.h"

#include "archive/CompressionMethods.h"
#include "archive/EntryName.h"
#include "archive/FileHeader.h"

namespace tessaly {

std::optional<SkipVerdict> ExtractSkipVerdict(const CFileHeader& entry, bool passwordsAsked) {
    if (SafeRelativePath(entry.fileName).empty()) return SkipVerdict{ExtractOutcome::Skipped, "empty name"};
    if (IsJunkName(entry.fileName)) return SkipVerdict{ExtractOutcome::Skipped, "junk name"};
    if (IsFolderEntry(entry)) return std::nullopt;
    // A folder or an empty file needs nothing of its local header; data
    // cannot be placed without one.
    if (entry.localHeaderLost && !IsEmptyFile(entry))
        return SkipVerdict{ExtractOutcome::Skipped, "local header lost; named from the central record"};
    if (passwordsAsked && PasswordOpens(entry)) return std::nullopt;
    if (entry.IsEncrypted()) return SkipVerdict{ExtractOutcome::Encrypted, EncryptionText(entry)};
    return std::nullopt;
}

bool IsFolderEntry(const CFileHeader& entry) {
    const std::string& name = entry.fileName;
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

bool IsEmptyFile(const CFileHeader& entry) {
    return !IsFolderEntry(entry) && entry.crc32 == 0 && entry.compressedSize == 0 && entry.uncompressedSize == 0 &&
           !entry.IsStreamedUnknownSize();
}

bool CarriesData(const CFileHeader& entry) {
    return entry.compressedSize > 0 || entry.uncompressedSize > 0 || entry.IsStreamedUnknownSize();
}

}  // namespace tessaly
