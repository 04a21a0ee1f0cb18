#include "platform/File.h"

#include "platform/FileException.h"
#include "platform/FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

#include <algorithm>
#include <utility>

namespace tessaly {

CFile::CFile(CFile&& other) noexcept { *this = std::move(other); }

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        if (IsOpen()) {
            try {
                Close();
            } catch (...) {
            }
        }
        path_ = std::move(other.path_);
        lastError_ = other.lastError_;
#ifdef _WIN32
        handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
#else
        fd_ = std::exchange(other.fd_, -1);
#endif
    }
    return *this;
}

CFile::~CFile() {
    if (IsOpen()) {
        try {
            Close();
        } catch (...) {
        }
    }
}

#ifdef _WIN32

bool CFile::IsOpen() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

bool CFile::Open(const std::filesystem::path& path, Mode mode) {
    if (IsOpen()) Close();
    const bool write = mode == Mode::CreateWrite;
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                             write ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             write ? CREATE_ALWAYS : OPEN_EXISTING,
                             write ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError_ = static_cast<int>(::GetLastError());
        return false;
    }
    if (!write && ::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        lastError_ = ERROR_BAD_FILE_TYPE;
        return false;
    }
    handle_ = h;
    path_ = path;
    return true;
}

void CFile::Attach(NativeHandle handle, const std::filesystem::path& path) {
    if (IsOpen()) Close();
    handle_ = handle;
    path_ = path;
}

void CFile::Close() {
    HANDLE h = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE && !::CloseHandle(h))
        throw CFileException(static_cast<int>(::GetLastError()), path_, "close");
}

std::size_t CFile::Read(void* buffer, std::size_t size) {
    std::size_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < size) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(handle_, out + total, chunk, &got, nullptr))
            throw CFileException(static_cast<int>(::GetLastError()), path_, "read");
        if (got == 0) break;
        total += got;
    }
    return total;
}

void CFile::Write(const void* buffer, std::size_t size) {
    auto* in = static_cast<const char*>(buffer);
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD put = 0;
        if (!::WriteFile(handle_, in, chunk, &put, nullptr))
            throw CFileException(static_cast<int>(::GetLastError()), path_, "write");
        in += put;
        size -= put;
    }
}

std::uint64_t CFile::Seek(std::int64_t offset, Origin origin) {
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    DWORD method = origin == Origin::Begin ? FILE_BEGIN : origin == Origin::Current ? FILE_CURRENT : FILE_END;
    if (!::SetFilePointerEx(handle_, distance, &result, method))
        throw CFileException(static_cast<int>(::GetLastError()), path_, "seek");
    return static_cast<std::uint64_t>(result.QuadPart);
}

std::uint64_t CFile::GetPosition() const {
    LARGE_INTEGER zero{}, result;
    if (!::SetFilePointerEx(handle_, zero, &result, FILE_CURRENT))
        throw CFileException(static_cast<int>(::GetLastError()), path_, "seek");
    return static_cast<std::uint64_t>(result.QuadPart);
}

std::uint64_t CFile::GetLength() const {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) throw CFileException(static_cast<int>(::GetLastError()), path_, "size");
    return static_cast<std::uint64_t>(size.QuadPart);
}

void CFile::SetLength(std::uint64_t length) {
    const std::uint64_t position = GetPosition();
    Seek(static_cast<std::int64_t>(length), Origin::Begin);
    if (!::SetEndOfFile(handle_)) throw CFileException(static_cast<int>(::GetLastError()), path_, "resize");
    Seek(static_cast<std::int64_t>(std::min(position, length)), Origin::Begin);
}

bool CFile::SetModificationTime(std::time_t modified) {
    ULARGE_INTEGER ticks;
    ticks.QuadPart = (static_cast<std::uint64_t>(modified) + 11644473600ULL) * 10000000ULL;
    FILETIME written{ticks.LowPart, ticks.HighPart};
    return ::SetFileTime(handle_, nullptr, nullptr, &written) != 0;
}

#else

bool CFile::IsOpen() const noexcept { return fd_ >= 0; }

bool CFile::Open(const std::filesystem::path& path, Mode mode) {
    if (IsOpen()) Close();
    // Read mode opens without waiting, so a pipe or a device never blocks
    // the open; anything but a regular file is then refused.
    int flags = O_CLOEXEC;
    if (mode == Mode::CreateWrite)
        flags |= O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
    else
        flags |= O_RDONLY | O_NONBLOCK;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    if (mode == Mode::Read) {
        struct stat st {};
        const int kindError = ::fstat(fd, &st) != 0 ? errno
                              : S_ISDIR(st.st_mode) ? EISDIR
                              : !S_ISREG(st.st_mode) ? ENXIO
                                                     : 0;
        if (kindError != 0 || ::fcntl(fd, F_SETFL, O_RDONLY) != 0) {
            ::close(fd);
            lastError_ = kindError != 0 ? kindError : errno;
            return false;
        }
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void CFile::Attach(NativeHandle handle, const std::filesystem::path& path) {
    if (IsOpen()) Close();
    fd_ = handle;
    path_ = path;
}

void CFile::Close() {
    int fd = std::exchange(fd_, -1);
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw CFileException(errno, path_, "close");
}

std::size_t CFile::Read(void* buffer, std::size_t size) {
    std::size_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < size) {
        ssize_t got = ::read(fd_, out + total, size - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw CFileException(errno, path_, "read");
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

void CFile::Write(const void* buffer, std::size_t size) {
    auto* in = static_cast<const char*>(buffer);
    while (size > 0) {
        ssize_t put = ::write(fd_, in, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            throw CFileException(errno, path_, "write");
        }
        in += put;
        size -= static_cast<std::size_t>(put);
    }
}

std::uint64_t CFile::Seek(std::int64_t offset, Origin origin) {
    int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0) throw CFileException(errno, path_, "seek");
    return static_cast<std::uint64_t>(result);
}

std::uint64_t CFile::GetPosition() const {
    off_t result = ::lseek(fd_, 0, SEEK_CUR);
    if (result < 0) throw CFileException(errno, path_, "seek");
    return static_cast<std::uint64_t>(result);
}

std::uint64_t CFile::GetLength() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw CFileException(errno, path_, "size");
    return static_cast<std::uint64_t>(st.st_size);
}

void CFile::SetLength(std::uint64_t length) {
    int result;
    do {
        result = ::ftruncate(fd_, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0) throw CFileException(errno, path_, "resize");
}

bool CFile::SetModificationTime(std::time_t modified) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = modified;
    times[1].tv_nsec = 0;
    return ::futimens(fd_, times) == 0;
}

#endif

}  // namespace tessaly
