// Whether a folder the user picked can take the salvaged files: it must
// exist and accept a new file. The test writes a fresh file of a name
// nobody uses and removes only that file, so nothing already in the
// folder is ever touched.
#pragma once

#include <string>

namespace tessaly {

enum class DestinationCheck {
    Usable,
    Missing,      // empty or not an existing folder: DestinationMissingMessage()
    NotWritable,  // exists but takes no new file: DestinationNotWritableMessage()
};

// `reason`, when given, gets the system's reason a folder takes no new file.
DestinationCheck CheckDestination(const std::string& folder, std::string* reason = nullptr);

class CRepairJob;

// Where the destination picker opens: the destination last chosen (while it
// exists), else the folder of the first selected archive (empty when there
// is none).
std::string PickerStartFolder(const CRepairJob& job);

// What Save Repaired Archive proposes for `archive` (UTF-8): its own folder,
// and "NAME (repaired).zip", NAME being its file name without extension.
struct RepairedArchiveProposal {
    std::string folder;
    std::string name;
};
RepairedArchiveProposal ProposeRepairedArchive(const std::string& archive);

}  // namespace tessaly
