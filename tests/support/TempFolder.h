// A temporary folder that removes itself with everything in it, and plain
// whole-file helpers for tests. Not meant for large files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "tessaly-test");
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

private:
    std::filesystem::path path_;
};

// Throw std::runtime_error when the file cannot be written or read.
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::filesystem::path& path);

// Every file, link and other non-folder below `root`, relative to it, in
// generic form, sorted. Links are listed, never followed.
std::vector<std::string> ListFilesBelow(const std::filesystem::path& root);

}  // namespace tessaly::testzip
