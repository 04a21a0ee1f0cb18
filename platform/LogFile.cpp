#include "platform/LogFile.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace tessaly {

namespace {
constexpr auto kRetryPause = std::chrono::milliseconds(10);
}

#ifdef _WIN32

CLogFile::~CLogFile() { Close(); }

void CLogFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool CLogFile::Open(const std::filesystem::path& path, std::chrono::milliseconds patience) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    for (;;) {
        handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ != INVALID_HANDLE_VALUE) return true;
        if (GetLastError() != ERROR_SHARING_VIOLATION || std::chrono::steady_clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(kRetryPause);
    }
}

std::uint64_t CLogFile::Size() const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handle_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool CLogFile::StartAfresh() {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN) && SetEndOfFile(handle_);
}

bool CLogFile::Append(const std::string& bytes) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(handle_, zero, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

#else

CLogFile::~CLogFile() { Close(); }

void CLogFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool CLogFile::Open(const std::filesystem::path& path, std::chrono::milliseconds patience) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    struct stat info {};
    if (fd_ < 0 && errno == EACCES && ::stat(path.c_str(), &info) == 0) {
        ::chmod(path.c_str(), info.st_mode | S_IWUSR);  // a read-only log is made writable
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    }
    if (fd_ < 0) return false;
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= giveUp) {
            Close();
            return false;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
    return true;
}

std::uint64_t CLogFile::Size() const {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool CLogFile::StartAfresh() { return ::ftruncate(fd_, 0) == 0; }

bool CLogFile::Append(const std::string& bytes) {
    if (::lseek(fd_, 0, SEEK_END) < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

#endif

}  // namespace tessaly
