#include "archive/ZipException.h"

#include <zlib.h>

#include <sstream>

namespace tessaly {

namespace {
std::string Describe(int cause, const std::filesystem::path& fileName, std::uint64_t offset, const std::string& what) {
    std::ostringstream text;
    if (!fileName.empty()) text << fileName.string() << ": ";
    text << (what.empty() ? "archive error" : what);
    if (offset != CZipException::kNoOffset) text << " at offset " << offset;
    text << " (cause " << cause << ")";
    return text.str();
}
}  // namespace

int CZipException::CauseFromCode(int code) noexcept {
    switch (code) {
        case Z_STREAM_END: return 2;
        case Z_NEED_DICT: return 3;
        case Z_ERRNO: return 4;
        case Z_STREAM_ERROR: return 5;
        case Z_DATA_ERROR: return 6;
        case Z_MEM_ERROR: return 7;
        case Z_BUF_ERROR: return 8;
        case Z_VERSION_ERROR: return 9;
        default: break;
    }
    if (code <= -101 && code >= -107) return -code - 91;  // -101 -> 10 ... -107 -> 16
    return 1;
}

CZipException::CZipException(int code, std::filesystem::path fileName, std::uint64_t offset, const std::string& what)
    : std::runtime_error(Describe(CauseFromCode(code), fileName, offset, what)),
      cause_(CauseFromCode(code)),
      fileName_(std::move(fileName)),
      offset_(offset) {}

void ThrowArchiveError(int code, const std::filesystem::path& fileName, std::uint64_t offset, const std::string& what) {
    throw CZipException(code, fileName, offset, what);
}

void CheckZlibResult(int code, const std::filesystem::path& fileName) {
    if (code == Z_OK || code == Z_NEED_DICT) return;
    ThrowArchiveError(code, fileName, CZipException::kNoOffset, "zlib could not start");
}

}  // namespace tessaly
