// Process-wide titles and settings of the desktop program.
//
// Settings are read, never written. On Windows they are the string values of
// HKEY_CLASSES_ROOT\TLZIP; elsewhere they come from small settings files
// (see ReadSetting for the lookup order). Nothing here caches a value: every
// call reads afresh, so a changed setting counts from the next call on.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tessaly {

// The captions of every window and message box.
extern const char* const AppTitle;  // " Tessaly for Zip" (one leading blank)
extern const char* const BoxTitle;  // "  Tessaly for Zip" (two leading blanks)

// The value of a setting ("FilePath", "LogPath"), or an empty string.
//
// Elsewhere than Windows each value is looked up in these files, in order,
// and the first file that sets it wins:
//   1. the file named by the environment variable TESSALY_SETTINGS;
//   2. tessaly-zip/settings.ini in the user's configuration folder
//      ($XDG_CONFIG_HOME, else ~/.config);
//   3. tessaly-zip/settings.ini in the system configuration folder of the
//      installation.
// A file holds `Name=value` lines; blank lines, lines starting with '#' or
// ';' and section headers ("[TLZIP]") are ignored, blanks around the name and
// the value are dropped.
std::string ReadSetting(const std::string& valueName);

// The program folder: the "FilePath" setting, or else the data folder beside
// the program (works in the build tree and the installed tree alike).
std::filesystem::path ProgramFolder();

// The settings files ReadSetting consults, in order (those that do not exist
// included). Empty on Windows.
std::vector<std::filesystem::path> SettingsFiles();

// The value `valueName` in one settings file's text, or empty.
std::string SettingFromText(const std::string& text, const std::string& valueName);

}  // namespace tessaly
