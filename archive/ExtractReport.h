// What extracting one entry came to, for callers that report per entry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/ByteRange.h"

namespace tessaly {

enum class ExtractOutcome {
    Ok,         // whole entry written and its CRC-32 matches
    Damaged,    // CRC-32 mismatch or corrupt data; what decompressed is kept
    Truncated,  // the archive ends inside the data; what was there is kept
    Skipped,    // empty or junk name, or inside another entry's data
    Encrypted,  // cannot be decrypted here; nothing written
    Failed,     // could not be extracted at all (detail says why)
    Limited,    // stopped at an expansion limit (detail says which); what was written is kept
};

const char* OutcomeName(ExtractOutcome outcome);

// Where an entry's stored data lies in the archive: its compressed bytes,
// with any encryption framing, from `offset` on.
struct StoredExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct ExtractReport {
    ExtractOutcome outcome = ExtractOutcome::Failed;
    std::string detail;                // reason, for Damaged, Skipped and Failed
    std::filesystem::path outputPath;  // empty when nothing was written
    std::string outputNote;            // how the output's name differs from the entry's, when it does
    std::uint64_t bytesWritten = 0;
    std::uint32_t crc32 = 0;  // CRC-32 of what was written
    // The stretches of the written file whose bytes are not certainly the
    // entry's own at that offset: corrupt data decoded before the error was
    // found, fill where bytes were lost, copies of lost bytes. Empty for a
    // whole entry, and for one whose only fault is that it ends early.
    std::vector<ByteRange> lost;
    // For an entry written whole from exactly the stored data it was read
    // from: that data, which can be copied as it is into another archive.
    std::optional<StoredExtent> storedData;
};

}  // namespace tessaly
