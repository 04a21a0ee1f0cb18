// Opens the program's help.
//
// The HTML help book in the program folder's "help" folder is shown by the
// program's own help viewer (the toolkit's), titled "Help - Tessaly for Zip",
// on every system: no help compiler is needed to build the book, and no
// help program of the system to read it. A viewer that is already open is
// brought to the front instead of opening a second one. Failures are
// silent: a missing help book shows nothing.
#pragma once

#include <filesystem>

class wxWindow;

namespace tessaly {

constexpr const char* kHelpTitle = "Help - Tessaly for Zip";
constexpr const char* kHelpBookFile = "help/Tessaly for Zip.hhp";

void ShowHelpContents(const std::filesystem::path& programFolder);

// The open help viewer's window, or null.
wxWindow* FindHelpViewer();

}  // namespace tessaly
