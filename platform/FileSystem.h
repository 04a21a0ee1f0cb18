// File-system services the reader and the workflow need beyond plain file
// access: folders, modification times, path text conversions.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

namespace tessaly {

// UTF-8 text to a path and back, on every platform.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// The path to hand to the operating system. On Windows a path longer than
// the classic limit (MAX_PATH, less the room CreateDirectory keeps) becomes
// an absolute "\\?\" path, which the system takes up to 32767 characters
// long; any other path, and every path elsewhere, is returned as it is.
std::filesystem::path SystemPath(const std::filesystem::path& path);

// Creates `folder` and every missing parent. Succeeds when the folder exists
// already; fails when any component names an existing file or cannot be made.
bool CreateFolderTree(const std::filesystem::path& folder);

// The separator between folders in path text.
#ifdef _WIN32
constexpr char kFolderSeparator = '\\';
#else
constexpr char kFolderSeparator = '/';
#endif

// Creates `path` as an empty file only if nothing exists there yet; false
// otherwise. Never touches an existing file.
bool CreateNewFile(const std::filesystem::path& path);
// The same, with the system's reason in `error` when it fails.
bool CreateNewFile(const std::filesystem::path& path, std::error_code& error);

// The folder of the running program; empty when it cannot be told.
std::filesystem::path ExecutableFolder();

bool IsExistingFolder(const std::filesystem::path& path);
// Whether this process may make files in an existing folder.
bool IsWritableFolder(const std::filesystem::path& folder);
// The user's own folder for what a program keeps between runs: on POSIX
// $XDG_STATE_HOME, else ~/.local/state; on Windows %LOCALAPPDATA%. Empty
// when none can be found.
std::filesystem::path UserStateFolder();

// What a path names, following links: only a regular file can be an archive.
enum class FileKind { Missing, Regular, Folder, Pipe, Device, Socket, Other };
FileKind KindOfFile(const std::filesystem::path& path);
// "a folder", "a pipe", "a device", ...: for messages about a source.
const char* FileKindText(FileKind kind);
bool IsExistingFile(const std::filesystem::path& path);

// Sets the last-modification (and access) time of a file; false on failure.
bool SetFileModificationTime(const std::filesystem::path& path, std::time_t modified);

// Whether both paths name one existing file (through links, other spellings
// or hard links). False when either is missing.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Gives the finished file `from` the name `to` in one step, in the same
// folder, so that `to` is either the old file or the whole new one. An
// existing `to` is replaced only when `replace` is true; otherwise the move
// fails with `error` set to "file exists". `from` is gone after a success.
bool MoveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, bool replace,
                   std::error_code& error);

}  // namespace tessaly
