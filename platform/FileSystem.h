// File-system services the reader and the workflow need beyond plain file
// access: folders, modification times, path text conversions.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace tessaly {

// UTF-8 text to a path and back, on every platform.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// Creates `folder` and every missing parent. Succeeds when the folder exists
// already; fails when any component names an existing file or cannot be made.
bool CreateFolderTree(const std::filesystem::path& folder);

bool IsExistingFolder(const std::filesystem::path& path);
bool IsExistingFile(const std::filesystem::path& path);

// Sets the last-modification (and access) time of a file; false on failure.
bool SetFileModificationTime(const std::filesystem::path& path, std::time_t modified);

}  // namespace tessaly
