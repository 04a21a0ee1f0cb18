// The folder tree salvaged files are written into. It is opened on the
// destination the user chose (which may itself be a link) and creates
// folders and files below it one path component at a time, relative to the
// folder made or opened before, so that nothing already in the destination
// can redirect a write:
//   - a symbolic link (on Windows, any reparse point) met on the way is never
//     followed: the creation fails with PassesThroughLink;
//   - an existing file at the output path is removed and a fresh one made,
//     never truncated in place, so a hard link to a file elsewhere leaves
//     that file untouched.
// It never removes a folder or a link.
#pragma once

#include <filesystem>

#include "platform/File.h"

namespace tessaly {

enum class OutputStatus {
    Created,            // the folders exist, the file (if asked for) is fresh and open
    PassesThroughLink,  // a link lies on the way; nothing was written through it
    Refused,            // the file system said no; LastError() tells why
};

class COutputTree {
public:
    // Does not create the destination; IsOpen() says whether it is there.
    explicit COutputTree(const std::filesystem::path& destination);
    COutputTree(const COutputTree&) = delete;
    COutputTree& operator=(const COutputTree&) = delete;
    ~COutputTree();

    bool IsOpen() const noexcept;
    const std::filesystem::path& Root() const noexcept { return root_; }

    // Makes every folder of `relative` (a path below the destination with no
    // empty, "." or ".." component) that is missing.
    OutputStatus CreateFolders(const std::filesystem::path& relative);
    // Makes the folders of `relative`'s parent and a fresh, empty file at
    // `relative`, open for reading and writing in `file`.
    OutputStatus CreateOutputFile(const std::filesystem::path& relative, CFile& file);

    // errno on POSIX, GetLastError() on Windows, of the last refusal.
    int LastError() const noexcept { return lastError_; }

private:
    class Folder;
    // Points `folder` at the destination; false (LastError() set) when it cannot.
    bool StartAtRoot(Folder& folder);
    OutputStatus Descend(Folder& folder, const std::filesystem::path& name);
    OutputStatus OpenFolders(const std::filesystem::path& relative, bool lastIsFile, Folder& folder);

    std::filesystem::path root_;
    int lastError_ = 0;
#ifdef _WIN32
    bool rootOpen_ = false;
#else
    int rootFd_ = -1;
#endif
};

// The text a failed entry carries for PassesThroughLink.
constexpr const char* kPassesThroughLinkText = "path passes through a link";

}  // namespace tessaly
