#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace tessaly {

fs::path PathFromUtf8(const std::string& utf8) {
#if defined(_WIN32)
    return fs::u8path(utf8);
#else
    return fs::path(utf8);
#endif
}

std::string PathToUtf8(const fs::path& path) {
#if defined(_WIN32)
    auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
#else
    return path.string();
#endif
}

fs::path SystemPath(const fs::path& path) {
#ifdef _WIN32
    constexpr std::size_t kClassicLimit = 247;
    const std::wstring& text = path.native();
    if (text.size() <= kClassicLimit || text.rfind(L"\\\\?\\", 0) == 0) return path;
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error) return path;
    absolute = absolute.lexically_normal();
    absolute.make_preferred();
    const std::wstring& full = absolute.native();
    if (full.rfind(L"\\\\", 0) == 0) return fs::path(L"\\\\?\\UNC\\" + full.substr(2));
    return fs::path(L"\\\\?\\" + full);
#else
    return path;
#endif
}

bool CreateNewFile(const fs::path& path) {
    std::error_code error;
    return CreateNewFile(path, error);
}

bool CreateNewFile(const fs::path& path, std::error_code& error) {
    error.clear();
    errno = 0;
#ifdef _WIN32
    std::FILE* file = _wfopen(SystemPath(path).c_str(), L"wbx");
#else
    std::FILE* file = std::fopen(path.c_str(), "wbx");
#endif
    if (file == nullptr) {
        error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
        return false;
    }
    std::fclose(file);
    return true;
}

fs::path ExecutableFolder() {
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return {};
    buffer.resize(length);
    return fs::path(buffer).parent_path();
#else
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : exe.parent_path();
#endif
}

bool IsExistingFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

FileKind KindOfFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    switch (status.type()) {
        case fs::file_type::regular: return FileKind::Regular;
        case fs::file_type::directory: return FileKind::Folder;
        case fs::file_type::fifo: return FileKind::Pipe;
        case fs::file_type::block:
        case fs::file_type::character: return FileKind::Device;
        case fs::file_type::socket: return FileKind::Socket;
        case fs::file_type::not_found: return FileKind::Missing;
        default: return ec ? FileKind::Missing : FileKind::Other;
    }
}

const char* FileKindText(FileKind kind) {
    switch (kind) {
        case FileKind::Missing: return "nothing";
        case FileKind::Regular: return "a regular file";
        case FileKind::Folder: return "a folder";
        case FileKind::Pipe: return "a pipe";
        case FileKind::Device: return "a device";
        case FileKind::Socket: return "a socket";
        case FileKind::Other: break;
    }
    return "a special file";
}

bool IsExistingFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool CreateFolderTree(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty()) return false;
    const fs::path target = SystemPath(folder);
    if (fs::is_directory(target, ec)) return true;
    fs::create_directories(target, ec);
    return !ec && fs::is_directory(target, ec);
}

bool SetFileModificationTime(const fs::path& path, std::time_t modified) {
#ifdef _WIN32
    HANDLE h = ::CreateFileW(SystemPath(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = (static_cast<std::uint64_t>(modified) + 11644473600ULL) * 10000000ULL;
    FILETIME ft{ticks.LowPart, ticks.HighPart};
    BOOL ok = ::SetFileTime(h, nullptr, nullptr, &ft);
    ::CloseHandle(h);
    return ok != 0;
#else
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = modified;
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
#endif
}

bool IsWritableFolder(const fs::path& folder) {
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) == 0;
#else
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

fs::path UserStateFolder() {
#ifdef _WIN32
    const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
    return local != nullptr && *local != L'\0' ? fs::path(local) : fs::path();
#else
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state == '/') return fs::path(state);
    const char* home = std::getenv("HOME");
    return home != nullptr && *home == '/' ? fs::path(home) / ".local" / "state" : fs::path();
#endif
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
    auto identity = [](const fs::path& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE handle =
            ::CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool got = ::GetFileInformationByHandle(handle, &info) != 0;
        ::CloseHandle(handle);
        return got;
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identity(a, first) && identity(b, second) && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
#else
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
#endif
}

bool MoveIntoPlace(const fs::path& from, const fs::path& to, bool replace, std::error_code& error) {
    error.clear();
#ifdef _WIN32
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), flags) != 0) return true;
    const DWORD code = ::GetLastError();
    error = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS
                ? std::make_error_code(std::errc::file_exists)
                : std::error_code(static_cast<int>(code), std::system_category());
    return false;
#else
    if (replace) {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    // A hard link is made only where nothing has the name yet, so no file
    // that appeared meanwhile is replaced; file systems without hard links
    // fall back to a rename after a check.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) {
        error = std::make_error_code(std::errc::file_exists);
        return false;
    }
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) {
        error = std::make_error_code(std::errc::file_exists);
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = std::error_code(errno, std::generic_category());
    return false;
#endif
}

}  // namespace tessaly
