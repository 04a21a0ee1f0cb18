// The output folder of one saved archive: the destination, then
// "TL_Recovered_Zip", two blanks, day-month-year, two blanks and
// hour-minute-second of the moment the archive was reached, without zero
// padding ("D:\Out\TL_Recovered_Zip  7-12-2026  3-24-26"). A folder is
// never shared: a name already taken gets " (2)", " (3)", ... after it.
#pragma once

#include <ctime>
#include <string>
#include <system_error>

#include "platform/FileSystem.h"

namespace tessaly {

// The folder's path for `destination` (UTF-8) at local time `when`. A
// destination that already ends in the separator (a drive root such as
// "C:\", or "/") gets a blank where a second separator would go, so the
// folder name then begins with a blank.
std::string OutputFolderName(const std::string& destination, const std::tm& when, char separator = kFolderSeparator);

// Creates the folder (one level, like the destination itself must exist),
// trying " (2)", " (3)", ... while the name is taken. Returns the path it
// created; when no folder could be created (the destination is gone, not
// writable, or the name is too long) returns `baseName` unchanged, sets
// `failure` (when given) to the system's reason, and extraction into it will
// fail entry by entry.
std::string CreateOutputFolder(const std::string& baseName, std::error_code* failure = nullptr);

// The local time now.
std::tm LocalNow();

}  // namespace tessaly
