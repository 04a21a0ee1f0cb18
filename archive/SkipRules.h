// The rules by which extraction writes nothing for an entry. Listing uses
// them too, so that what a preview shows is what saving writes.
#pragma once

#include <optional>
#include <string>

#include "archive/ExtractReport.h"

namespace tessaly {

class CFileHeader;

struct SkipVerdict {
    ExtractOutcome outcome;  // Skipped or Encrypted
    std::string reason;      // "empty name", "junk name", "folder entry", "empty record",
                             // "end of streamed data not found",
                             // "encrypted (<which encryption>)"
};

// Why the entry would not be written, or nothing when it would be.
std::optional<SkipVerdict> ExtractSkipVerdict(const CFileHeader& entry);

}  // namespace tessaly
