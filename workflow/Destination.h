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
    NotWritable,  // exists but takes no new file: the command ends silently
};

DestinationCheck CheckDestination(const std::string& folder);

}  // namespace tessaly
