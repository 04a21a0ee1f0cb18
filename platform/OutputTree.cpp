#include "platform/OutputTree.h"

#include "platform/FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace tessaly {

namespace {
// Only plain names are walked: a component that could climb out of the
// folder it is made in, or jump to a root, is refused outright.
bool IsPlainName(const fs::path& name) {
    return !name.empty() && name != "." && name != ".." && !name.has_root_name() && !name.has_root_directory();
}

// Checked whole before anything is made, so a bad name creates nothing.
bool IsPlainRelativePath(const fs::path& relative) {
    if (relative.empty()) return false;
    for (const fs::path& name : relative)
        if (!IsPlainName(name)) return false;
    return true;
}
}  // namespace

#ifdef _WIN32

// The folder reached so far. Windows has no handle-relative creation here, so
// every step checks the attributes of what it is about to enter instead.
class COutputTree::Folder {
public:
    fs::path path;
};

namespace {
constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;
constexpr int kInvalidNameError = ERROR_INVALID_NAME;
bool IsReparsePoint(DWORD attributes) {
    return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
}  // namespace

COutputTree::COutputTree(const fs::path& destination) : root_(destination) {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(destination).c_str());
    rootOpen_ = attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!rootOpen_) lastError_ = attributes == kNoAttributes ? static_cast<int>(::GetLastError()) : ERROR_DIRECTORY;
}

COutputTree::~COutputTree() = default;

bool COutputTree::IsOpen() const noexcept { return rootOpen_; }

OutputStatus COutputTree::Descend(Folder& folder, const fs::path& name) {
    const fs::path next = folder.path / name;
    const fs::path system = SystemPath(next);
    DWORD attributes = ::GetFileAttributesW(system.c_str());
    if (attributes == kNoAttributes) {
        if (!::CreateDirectoryW(system.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            lastError_ = static_cast<int>(::GetLastError());
            return OutputStatus::Refused;
        }
        attributes = ::GetFileAttributesW(system.c_str());
    }
    if (IsReparsePoint(attributes)) return OutputStatus::PassesThroughLink;
    if (attributes == kNoAttributes || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        lastError_ = ERROR_DIRECTORY;
        return OutputStatus::Refused;
    }
    folder.path = next;
    return OutputStatus::Created;
}

bool COutputTree::StartAtRoot(Folder& folder) {
    folder.path = root_;
    return true;
}

OutputStatus COutputTree::CreateOutputFile(const fs::path& relative, CFile& file) {
    Folder folder;
    const OutputStatus status = OpenFolders(relative, true, folder);
    if (status != OutputStatus::Created) return status;
    const fs::path path = folder.path / relative.filename();
    const fs::path system = SystemPath(path);
    const DWORD attributes = ::GetFileAttributesW(system.c_str());
    if (IsReparsePoint(attributes)) return OutputStatus::PassesThroughLink;
    if (attributes != kNoAttributes) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            lastError_ = ERROR_DIRECTORY;
            return OutputStatus::Refused;
        }
        ::SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileW(system.c_str())) {
            lastError_ = static_cast<int>(::GetLastError());
            return OutputStatus::Refused;
        }
    }
    HANDLE h = ::CreateFileW(system.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError_ = static_cast<int>(::GetLastError());
        return OutputStatus::Refused;
    }
    file.Attach(h, path);
    return OutputStatus::Created;
}

#else

// The folder reached so far, held open: the next step is made relative to
// it, so nothing renamed or linked behind the walk can redirect it.
class COutputTree::Folder {
public:
    Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() { Reset(-1); }
    void Reset(int newFd) {
        if (fd >= 0) ::close(fd);
        fd = newFd;
    }
    int fd = -1;
};

namespace {
int RetryOpenAt(int folder, const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::openat(folder, name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool IsLinkIn(int folder, const char* name) {
    struct stat st {};
    return ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kInvalidNameError = EINVAL;
}  // namespace

COutputTree::COutputTree(const fs::path& destination) : root_(destination) {
    // The destination itself is opened following links: the user chose it.
    do {
        rootFd_ = ::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (rootFd_ < 0 && errno == EINTR);
    if (rootFd_ < 0) lastError_ = errno;
}

COutputTree::~COutputTree() {
    if (rootFd_ >= 0) ::close(rootFd_);
}

bool COutputTree::IsOpen() const noexcept { return rootFd_ >= 0; }

OutputStatus COutputTree::Descend(Folder& folder, const fs::path& name) {
    const char* text = name.c_str();
    int fd = RetryOpenAt(folder.fd, text, kFolderFlags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(folder.fd, text, 0777) != 0 && errno != EEXIST) {
            lastError_ = errno;
            return OutputStatus::Refused;
        }
        fd = RetryOpenAt(folder.fd, text, kFolderFlags);
    }
    if (fd < 0) {
        lastError_ = errno;
        return IsLinkIn(folder.fd, text) ? OutputStatus::PassesThroughLink : OutputStatus::Refused;
    }
    folder.Reset(fd);
    return OutputStatus::Created;
}

bool COutputTree::StartAtRoot(Folder& folder) {
    folder.Reset(::fcntl(rootFd_, F_DUPFD_CLOEXEC, 0));
    if (folder.fd < 0) lastError_ = errno;
    return folder.fd >= 0;
}

OutputStatus COutputTree::CreateOutputFile(const fs::path& relative, CFile& file) {
    Folder folder;
    const OutputStatus status = OpenFolders(relative, true, folder);
    if (status != OutputStatus::Created) return status;
    const fs::path name = relative.filename();
    const char* text = name.c_str();
    // O_EXCL with O_NOFOLLOW: nothing already there, a link included, is
    // ever opened. Into a fresh folder that is the only call.
    constexpr int kCreateFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = RetryOpenAt(folder.fd, text, kCreateFlags, 0666);
    if (fd < 0 && errno == EEXIST) {
        struct stat st {};
        if (::fstatat(folder.fd, text, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode)) return OutputStatus::PassesThroughLink;
            if (S_ISDIR(st.st_mode)) {
                lastError_ = EISDIR;
                return OutputStatus::Refused;
            }
        }
        // Replaced, never truncated: another name for the same file (a hard
        // link) keeps its content.
        if (::unlinkat(folder.fd, text, 0) != 0 && errno != ENOENT) {
            lastError_ = errno;
            return OutputStatus::Refused;
        }
        fd = RetryOpenAt(folder.fd, text, kCreateFlags, 0666);
    }
    if (fd < 0) {
        lastError_ = errno;
        return IsLinkIn(folder.fd, text) ? OutputStatus::PassesThroughLink : OutputStatus::Refused;
    }
    file.Attach(fd, root_ / relative);
    return OutputStatus::Created;
}

#endif

OutputStatus COutputTree::OpenFolders(const fs::path& relative, bool lastIsFile, Folder& folder) {
    if (!IsOpen()) return OutputStatus::Refused;
    if (!IsPlainRelativePath(relative)) {
        lastError_ = kInvalidNameError;
        return OutputStatus::Refused;
    }
    if (!StartAtRoot(folder)) return OutputStatus::Refused;
    const fs::path folders = lastIsFile ? relative.parent_path() : relative;
    for (const fs::path& name : folders) {
        const OutputStatus status = Descend(folder, name);
        if (status != OutputStatus::Created) return status;
    }
    return OutputStatus::Created;
}

OutputStatus COutputTree::CreateFolders(const fs::path& relative) {
    Folder folder;
    return OpenFolders(relative, false, folder);
}

}  // namespace tessaly
