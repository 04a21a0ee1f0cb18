#include "archive/SkipRules.h"

#include "archive/CompressionMethods.h"
#include "archive/EntryName.h"
#include "archive/FileHeader.h"
#include "archive/ZipRecords.h"

namespace tessaly {

namespace {
bool EndsWithSeparator(const std::string& name) { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }

bool IsEmptyRecord(const CFileHeader& entry) {
    // A streamed entry's sizes are not known yet: it is not empty for that.
    return entry.crc32 == 0 && entry.compressedSize == 0 && entry.uncompressedSize == 0 && !entry.HasDescriptorFlag();
}
}  // namespace

std::optional<SkipVerdict> ExtractSkipVerdict(const CFileHeader& entry) {
    if (SafeRelativePath(entry.fileName).empty()) return SkipVerdict{ExtractOutcome::Skipped, "empty name"};
    if (IsJunkName(entry.fileName)) return SkipVerdict{ExtractOutcome::Skipped, "junk name"};
    if (EndsWithSeparator(entry.fileName)) return SkipVerdict{ExtractOutcome::Skipped, "folder entry"};
    if (IsEmptyRecord(entry)) return SkipVerdict{ExtractOutcome::Skipped, "empty record"};
    if (entry.IsEncrypted()) return SkipVerdict{ExtractOutcome::Encrypted, EncryptionText(entry)};
    // Stored data without sizes whose end the scan could not find.
    if (entry.method == zip::kMethodStored && entry.IsStreamedUnknownSize())
        return SkipVerdict{ExtractOutcome::Skipped, "end of streamed data not found"};
    return std::nullopt;
}

}  // namespace tessaly
