// File-system errors: an operating-system call on a file or folder failed.
// Archive faults are reported separately (archive/ZipException.h); this type
// only ever means the file system refused something.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tessaly {

class CFileException : public std::runtime_error {
public:
    // `osError` is errno on POSIX, GetLastError() on Windows.
    CFileException(int osError, std::filesystem::path path, const std::string& operation);

    int OsError() const noexcept { return osError_; }
    const std::filesystem::path& Path() const noexcept { return path_; }

private:
    int osError_;
    std::filesystem::path path_;
};

}  // namespace tessaly
