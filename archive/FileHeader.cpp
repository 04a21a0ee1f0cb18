#include "archive/FileHeader.h"

namespace tessaly {

std::time_t CFileHeader::GetModificationTime() const {
    std::tm when{};
    when.tm_sec = (modTime & 0x1F) * 2;
    when.tm_min = (modTime >> 5) & 0x3F;
    when.tm_hour = modTime >> 11;
    when.tm_mday = modDate & 0x1F;
    when.tm_mon = ((modDate >> 5) & 0x0F) - 1;
    when.tm_year = (modDate >> 9) + 80;
    when.tm_isdst = -1;
    return std::mktime(&when);
}

}  // namespace tessaly
