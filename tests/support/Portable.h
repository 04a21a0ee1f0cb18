// Test helpers that behave the same on POSIX systems and on Windows: the
// environment, file times and path text, so that no test needs a POSIX call
// of its own for them.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace tessaly::testzip {

// Sets `name` to `value` (UTF-8) for this process; Unset removes it.
void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);
std::optional<std::string> GetEnvironment(const std::string& name);

// Sets a variable (or, with nullopt, removes it) for its own lifetime and
// puts back what was there before.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> before_;
};

// The file's last-modification time in seconds since the epoch; -1 when it
// cannot be read.
std::time_t ModificationTime(const std::filesystem::path& path);

// UTF-8 text to a path and back, on every platform.
std::filesystem::path U8Path(const std::string& utf8);
std::string PathText(const std::filesystem::path& path);

// Whether this process can make symbolic links in `folder` (Windows allows
// it only with a privilege or in developer mode).
bool CanMakeSymlinks(const std::filesystem::path& folder);

// Why the Linux program `tool` (an archiver whose archives a test reads) cannot
// be run from this test, or an empty text when it can. It is started through
// a POSIX shell, which a Windows test program does not have.
std::string ReferenceToolMissing(const std::string& tool);

#ifdef _WIN32
// Sets a string value of HKEY_CLASSES_ROOT\<key> for its own lifetime and
// puts back what was there before. (Without administrator rights Windows
// writes it to the user's own half of that key.) An `expandable` value is
// stored for expansion (REG_EXPAND_SZ), as installers write per-user folders.
class ScopedClassesSetting {
public:
    ScopedClassesSetting(const std::string& key, const std::string& name, const std::string& value,
                         bool expandable = false);
    ~ScopedClassesSetting();
    ScopedClassesSetting(const ScopedClassesSetting&) = delete;
    ScopedClassesSetting& operator=(const ScopedClassesSetting&) = delete;

private:
    std::wstring key_, name_;
    std::optional<std::wstring> before_;
};
#endif

}  // namespace tessaly::testzip
