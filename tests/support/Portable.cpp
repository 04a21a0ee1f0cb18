#include "tests/support/Portable.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tessaly::testzip {
namespace fs = std::filesystem;

fs::path U8Path(const std::string& utf8) { return fs::u8path(utf8); }

std::string PathText(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

#ifdef _WIN32
// The wide environment is the real one; the C runtime keeps its narrow copy
// in step with it.
void SetEnvironment(const std::string& name, const std::string& value) {
    ::_wputenv_s(U8Path(name).c_str(), U8Path(value).c_str());
}

void UnsetEnvironment(const std::string& name) { ::_wputenv_s(U8Path(name).c_str(), L""); }

std::optional<std::string> GetEnvironment(const std::string& name) {
    const wchar_t* value = ::_wgetenv(U8Path(name).c_str());
    if (value == nullptr) return std::nullopt;
    return PathText(fs::path(value));
}

std::time_t ModificationTime(const fs::path& path) {
    struct _stat64 st {};
    return ::_wstat64(path.c_str(), &st) == 0 ? static_cast<std::time_t>(st.st_mtime) : std::time_t(-1);
}
#else
void SetEnvironment(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

void UnsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

std::optional<std::string> GetEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::time_t ModificationTime(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : std::time_t(-1);
}
#endif

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), before_(GetEnvironment(name_)) {
    if (value)
        SetEnvironment(name_, *value);
    else
        UnsetEnvironment(name_);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (before_)
        SetEnvironment(name_, *before_);
    else
        UnsetEnvironment(name_);
}

bool CanMakeSymlinks(const fs::path& folder) {
    std::error_code error;
    const fs::path probe = folder / "tessaly-symlink-probe";
    fs::create_symlink(folder / "missing-target", probe, error);
    if (error) return false;
    fs::remove(probe, error);
    return true;
}

std::string ReferenceToolMissing(const std::string& tool) {
#ifdef _WIN32
    return tool +
           " is a Linux program run through a POSIX shell, which a Windows test program has not: "
           "the Linux build runs this case";
#else
    if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0) return {};
    return tool + " is not installed (scripts/install-deps.sh test installs it)";
#endif
}

#ifdef _WIN32
namespace {
std::optional<std::wstring> ReadClassesValue(const std::wstring& key, const std::wstring& name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

void WriteClassesValue(const std::wstring& key, const std::wstring& name, const std::optional<std::wstring>& value,
                       DWORD type = REG_SZ) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (value)
        ::RegSetValueExW(handle, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value->c_str()),
                         static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    else
        ::RegDeleteValueW(handle, name.c_str());
    ::RegCloseKey(handle);
}
}  // namespace

ScopedClassesSetting::ScopedClassesSetting(const std::string& key, const std::string& name, const std::string& value,
                                           bool expandable)
    : key_(U8Path(key).wstring()), name_(U8Path(name).wstring()) {
    before_ = ReadClassesValue(key_, name_);
    WriteClassesValue(key_, name_, U8Path(value).wstring(), expandable ? REG_EXPAND_SZ : REG_SZ);
}

ScopedClassesSetting::~ScopedClassesSetting() { WriteClassesValue(key_, name_, before_); }
#endif

}  // namespace tessaly::testzip
