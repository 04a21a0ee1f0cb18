// A thin, unbuffered file over the operating system with 64-bit offsets.
//
// Reading never changes the file: the only read mode opens for reading alone,
// so read-only files and read-only media work like any other. Read mode is for
// archives: it opens regular files only, and never waits on a pipe or device.
// Output files are made by COutputTree (platform/OutputTree.h), which hands
// over a fresh file opened for reading and writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>

namespace tessaly {

class CFile {
public:
    enum class Mode {
        Read,         // existing file, read only
        CreateWrite,  // create or truncate, write only; never follows a link
    };
    enum class Origin { Begin, Current, End };

#ifdef _WIN32
    using NativeHandle = void*;
#else
    using NativeHandle = int;
#endif

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    virtual ~CFile();

    // Returns false (and leaves the file closed) when the file cannot be
    // opened; `LastError()` then tells why.
    bool Open(const std::filesystem::path& path, Mode mode);
    // Takes ownership of a handle the operating system gave for `path`.
    void Attach(NativeHandle handle, const std::filesystem::path& path);
    // Throws CFileException when the close itself fails.
    void Close();
    bool IsOpen() const noexcept;

    // Reads up to `size` bytes; returns the count delivered (0 at the end of
    // the file). Retries interrupted calls. Throws CFileException on an error.
    std::size_t Read(void* buffer, std::size_t size);
    // Writes all `size` bytes or throws CFileException.
    void Write(const void* buffer, std::size_t size);

    std::uint64_t Seek(std::int64_t offset, Origin origin);
    std::uint64_t GetPosition() const;
    std::uint64_t GetLength() const;
    // Cuts or extends the file to `length` bytes. Throws CFileException.
    void SetLength(std::uint64_t length);
    // Stamps the modification time (and the access time, now) on the open
    // file itself, so no path is looked up again. False on failure.
    bool SetModificationTime(std::time_t modified);

    const std::filesystem::path& GetFilePath() const noexcept { return path_; }
    int LastError() const noexcept { return lastError_; }

private:
    std::filesystem::path path_;
    int lastError_ = 0;
#ifdef _WIN32
    void* handle_ = reinterpret_cast<void*>(-1);
#else
    int fd_ = -1;
#endif
};

// The archive reader's name for a file with 64-bit seeking; every CFile has it.
using CBigFile = CFile;

}  // namespace tessaly
