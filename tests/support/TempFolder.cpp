#include "tests/support/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessaly::testzip {
namespace fs = std::filesystem;

namespace {

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(static_cast<unsigned long long>(ticks)) + "-" + std::to_string(counter++);
}

#ifndef _WIN32
// Files made read-only by a test must not stop the clean-up.
void MakeWritable(const fs::path& root) {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
}
#endif

// The path as Windows reaches it at any length: absolute, with the "\\?\"
// prefix. Elsewhere the path itself.
fs::path Reachable(const fs::path& path) {
#ifdef _WIN32
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec).lexically_normal();
    absolute.make_preferred();
    const std::wstring& text = absolute.native();
    if (ec || text.rfind(L"\\\\", 0) == 0) return path;
    return fs::path(L"\\\\?\\" + text);
#else
    return path;
#endif
}

#ifdef _WIN32
// Calls `visit(relative, isFolder)` for everything below `folder` (a
// "\\?\" path), children before their folder; links are reported, never
// entered. The C runtime's own folder listing cannot take "\\?\" paths.
void WalkTree(const fs::path& folder, const fs::path& relative,
              const std::function<void(const fs::path&, bool)>& visit) {
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder.native() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                              (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        if (isFolder) WalkTree(fs::path(folder.native() + L"\\" + name), relative / name, visit);
        visit(relative / name, isFolder);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

void RemoveTree(const fs::path& root) {
    WalkTree(root, fs::path(), [&](const fs::path& relative, bool folder) {
        const std::wstring path = root.native() + L"\\" + relative.native();
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (folder)
            ::RemoveDirectoryW(path.c_str());
        else
            ::DeleteFileW(path.c_str());
    });
    ::RemoveDirectoryW(root.c_str());
}
#endif

// "/"-separated UTF-8 text, the same on every platform.
std::string GenericUtf8(const fs::path& path) {
    const auto text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

TempFolder::TempFolder(const std::string& prefix) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / (prefix + "-" + UniqueSuffix());
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ec;
#ifdef _WIN32
    RemoveTree(Reachable(path_));
#else
    MakeWritable(path_);
    fs::remove_all(path_, ec);
#endif
}

void WriteFileBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes ReadFileBytes(const fs::path& path) {
    std::ifstream in(Reachable(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListFilesBelow(const fs::path& root) {
    std::vector<std::string> files;
#ifdef _WIN32
    WalkTree(Reachable(root), fs::path(), [&](const fs::path& relative, bool folder) {
        if (!folder) files.push_back(GenericUtf8(relative));
    });
#else
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_symlink(ec) || !it->is_directory(ec))
            files.push_back(GenericUtf8(it->path().lexically_relative(root)));
    }
#endif
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace tessaly::testzip
