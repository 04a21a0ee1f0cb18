// The operating system's own words for an error code, and the one error a
// source file meets when another program holds it open. Codes are errno on
// POSIX and GetLastError() on Windows, as CFile::LastError() gives them.
#pragma once

#include <string>

namespace tessaly {

// "Permission denied", "No space left on device", ...
std::string SystemErrorText(int osError);

// Another program has the file open and shares it with nobody (Windows'
// sharing and lock violations). POSIX files are never locked this way.
bool IsSharingViolation(int osError);

}  // namespace tessaly
