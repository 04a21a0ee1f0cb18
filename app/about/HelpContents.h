// Opens the program's help.
//
// On Windows the compiled help file "Tessaly for Zip.chm" of the program
// folder is handed to the shell (found through the search path first, then
// by its full path, then by starting the help viewer hh.exe directly). On
// other systems the HTML help book in the program folder's "help" folder is
// shown by the toolkit's help viewer, titled "Help - Tessaly for Zip". A
// viewer that is already open is brought to the front instead of opening a
// second one. Failures are silent: a missing help file shows nothing.
#pragma once

#include <filesystem>

class wxWindow;

namespace tessaly {

constexpr const char* kHelpTitle = "Help - Tessaly for Zip";
constexpr const char* kHelpBookFile = "help/Tessaly for Zip.hhp";
constexpr const char* kCompiledHelpFile = "Tessaly for Zip.chm";

void ShowHelpContents(const std::filesystem::path& programFolder);

// The open help viewer's window, or null.
wxWindow* FindHelpViewer();

}  // namespace tessaly
