// Process-wide titles and settings of the desktop program.
//
// Settings are read, never written. On Windows they are the string values of
// HKEY_CLASSES_ROOT\TLZIP; elsewhere they come from a small settings file
// (see ReadSetting for the lookup order).
#pragma once

#include <filesystem>
#include <string>

namespace tessaly {

// The captions of every window and message box.
extern const char* const AppTitle;   // " Tessaly for Zip" (one leading blank)
extern const char* const BoxTitle;   // "  Tessaly for Zip" (two leading blanks)

// The value of a setting ("FilePath", "LogPath"), or an empty string.
std::string ReadSetting(const std::string& valueName);

// The program folder: the "FilePath" setting, or else the data folder beside
// the program (works in the build tree and the installed tree alike).
std::filesystem::path ProgramFolder();

}  // namespace tessaly
