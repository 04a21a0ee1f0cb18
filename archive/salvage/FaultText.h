// One-line messages for the faults the archive layer raises, naming the file
// and, for archive faults, the offset: what a user needs to understand what
// went wrong, without internal codes.
#pragma once

#include <string>

namespace tessaly {

class CZipException;
class CFileException;

std::string FaultText(const CZipException& fault);
std::string FaultText(const CFileException& fault);
// The operating system's text for an error number.
std::string OsErrorText(int osError);

}  // namespace tessaly
