// The one rule for what saving writes. Extraction follows it, and listing,
// the preview and the log use it too, so that what they show and count is
// what saving writes.
#pragma once

#include <optional>
#include <string>

#include "archive/ExtractReport.h"

namespace tessaly {

class CFileHeader;

struct SkipVerdict {
    ExtractOutcome outcome;  // Skipped or Encrypted
    std::string reason;      // "empty name", "junk name", "local header lost; …", "encrypted (<which encryption>)"
};

// Why the entry would not be written, or nothing when it would be. With
// `passwordsAsked`, a password source will be asked for encrypted entries, so
// those whose encryption a password opens are written (or reported for a
// wrong password) rather than skipped.
std::optional<SkipVerdict> ExtractSkipVerdict(const CFileHeader& entry, bool passwordsAsked = false);

// A folder entry (its name ends in a separator): saving creates the folder.
bool IsFolderEntry(const CFileHeader& entry);

// An empty file: CRC-32 and both sizes 0, known (not a streamed entry whose
// sizes were never found). Saving writes it without reading any data.
bool IsEmptyFile(const CFileHeader& entry);

// Whether the entry holds bytes (or a stream of unknown length) to salvage.
bool CarriesData(const CFileHeader& entry);

}  // namespace tessaly
