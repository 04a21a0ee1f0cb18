// A file-size limit on this process (RLIMIT_FSIZE) while the object lives:
// a write past `limit` bytes fails with EFBIG, as a write to a full disk
// fails with ENOSPC, so tests can fill "the disk" at a chosen size without
// a small file system of their own. SIGXFSZ is ignored for good (as both
// programs do at start-up), or the first such write would end the test.
// Windows has no such limit: there active() is false.
#pragma once

#include <cstdint>

namespace tessaly::testzip {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uint64_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return active_; }

private:
    bool active_ = false;
    std::uint64_t savedSoft_ = 0;
};

}  // namespace tessaly::testzip
