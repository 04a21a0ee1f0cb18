// The log file held open for one append: opened (created when missing) for
// this writer alone, so texts of writers in other processes never mix with
// it; a writer that finds the file held waits a little for its turn.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tessaly {

class CLogFile {
public:
    CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;
    ~CLogFile();

    // Opens or creates `path` for reading and writing and takes it for this
    // writer alone, waiting up to `patience` for another holder. A read-only
    // log is made writable first. False when that fails.
    bool Open(const std::filesystem::path& path, std::chrono::milliseconds patience);
    std::uint64_t Size() const;
    // Empties the file, so the coming text is its first content.
    bool StartAfresh();
    // Writes all bytes at the end of the file.
    bool Append(const std::string& bytes);

private:
    void Close();

#ifdef _WIN32
    void* handle_ = reinterpret_cast<void*>(-1);
#else
    int fd_ = -1;
#endif
};

}  // namespace tessaly
