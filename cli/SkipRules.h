// The rules by which ExtractEntry writes nothing for an entry, in the same
// order, so that list can say so before anything is written and extract can
// plan around entries that write no file.
#pragma once

#include <string>

namespace tessaly {
class CFileHeader;
}

namespace tessaly::cli {

// "empty name", "junk name", "folder entry", "empty record", "encrypted",
// or empty when the entry is written.
std::string ExtractSkipReason(const CFileHeader& header);

}  // namespace tessaly::cli
