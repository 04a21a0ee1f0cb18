#include "workflow/ArchiveSelection.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/FileSystem.h"

namespace tessaly {

namespace {

// What makes two paths the same archive, or empty when the path names no
// existing file (such a path never joins and matches nothing).
std::string FileIdentity(const std::string& path) {
    if (path.empty()) return {};
#ifdef _WIN32
    std::error_code error;
    const std::filesystem::path file = PathFromUtf8(path);
    if (!std::filesystem::exists(file, error) || std::filesystem::is_directory(file, error)) return {};
    std::wstring name = std::filesystem::absolute(file, error).lexically_normal().wstring();
    std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return PathToUtf8(name);
#else
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return {};
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
#endif
}

// The list shows full paths, also for a name given relative to the current
// folder (on the command line).
std::string FullPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(PathFromUtf8(path), error);
    return error ? path : PathToUtf8(full.lexically_normal());
}

#ifdef _WIN32
// A file in a drive's root folder can come back from the picker as
// "C:\\name"; the list shows it with one backslash.
std::string WithoutDoubledRootSeparator(std::string path) {
    if (path.size() > 3 && path.compare(1, 3, ":\\\\") == 0) path.erase(3, 1);
    return path;
}
#endif

}  // namespace

std::vector<std::string> ArchivesToAdd(const std::vector<std::string>& listed,
                                       const std::vector<std::string>& offered) {
    std::vector<std::string> known;
    known.reserve(listed.size() + offered.size());
    for (const std::string& path : listed) known.push_back(FileIdentity(path));
    std::sort(known.begin(), known.end());

    std::vector<std::string> joining;
    for (std::string path : offered) {
#ifdef _WIN32
        path = WithoutDoubledRootSeparator(std::move(path));
#endif
        const std::string identity = FileIdentity(path);
        if (identity.empty()) continue;
        path = FullPath(path);
        const auto place = std::lower_bound(known.begin(), known.end(), identity);
        if (place != known.end() && *place == identity) continue;
        known.insert(place, identity);
        joining.push_back(std::move(path));
    }
    return joining;
}

bool HasZipExtension(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".zip";
}

bool SelectionIsRepairable(const std::vector<std::string>& listed) {
    if (listed.empty() || listed.back() == " ") return false;
    std::error_code error;
    return std::filesystem::exists(PathFromUtf8(listed.back()), error);
}

}  // namespace tessaly
