#include "platform/SystemSettings.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/FileSystem.h"
#endif

namespace tessaly {

#ifdef _WIN32
std::optional<std::string> ReadSystemSetting(const std::string& key, const std::string& valueName) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, PathFromUtf8(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring name = PathFromUtf8(valueName).wstring();
    wchar_t buffer[260] = {};
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return std::nullopt;
    buffer[259] = L'\0';
    if (type != REG_EXPAND_SZ) return PathToUtf8(std::filesystem::path(std::wstring(buffer)));
    // A value that names a folder of each user's own ("%LOCALAPPDATA%\...",
    // as the installer writes the log folder) is read as this user's.
    wchar_t expanded[260] = {};
    const DWORD length = ExpandEnvironmentStringsW(buffer, expanded, 260);
    if (length == 0 || length > 260) return std::nullopt;
    return PathToUtf8(std::filesystem::path(std::wstring(expanded)));
}
#else
std::optional<std::string> ReadSystemSetting(const std::string&, const std::string&) { return std::nullopt; }
#endif

}  // namespace tessaly
