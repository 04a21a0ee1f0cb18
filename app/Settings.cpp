#include "app/Settings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tessaly {

const char* const AppTitle = " Tessaly for Zip";
const char* const BoxTitle = "  Tessaly for Zip";

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Where installation puts the data folder, tried in order from the folder of
// the executable: the build tree's bin/../data, an installed
// <prefix>/bin/../share/tessaly-zip, and a data folder right beside it.
std::filesystem::path DataFolderBeside(const std::filesystem::path& exeFolder) {
    const std::filesystem::path candidates[] = {
        exeFolder / ".." / "data",
        exeFolder / ".." / "share" / "tessaly-zip",
        exeFolder / "data",
    };
    for (const auto& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_directory(candidate, error))
            return std::filesystem::weakly_canonical(candidate, error);
    }
    return (exeFolder / ".." / "data").lexically_normal();
}

#ifdef _WIN32
std::string ReadRegistryValue(const std::string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"TLZIP", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::wstring name = PathFromUtf8(valueName).wstring();
    wchar_t buffer[260] = {};
    DWORD size = sizeof buffer;
    const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return {};
    buffer[259] = L'\0';
    return PathToUtf8(std::filesystem::path(std::wstring(buffer)));
}
#endif

}  // namespace

std::string SettingFromText(const std::string& text, const std::string& valueName) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string content = Trim(line);
        if (content.empty() || content[0] == '#' || content[0] == ';' || content[0] == '[')
            continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos)
            continue;
        if (Trim(content.substr(0, equals)) == valueName)
            return Trim(content.substr(equals + 1));
    }
    return {};
}

std::vector<std::filesystem::path> SettingsFiles() {
    std::vector<std::filesystem::path> files;
#ifndef _WIN32
    if (const char* named = std::getenv("TESSALY_SETTINGS"); named && *named)
        files.push_back(PathFromUtf8(named));
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        files.push_back(PathFromUtf8(config) / "tessaly-zip" / "settings.ini");
    else if (const char* home = std::getenv("HOME"); home && *home)
        files.push_back(PathFromUtf8(home) / ".config" / "tessaly-zip" / "settings.ini");
    files.push_back(std::filesystem::path(TESSALY_SYSTEM_CONFIG_DIR) / "tessaly-zip" /
                    "settings.ini");
#endif
    return files;
}

std::string ReadSetting(const std::string& valueName) {
#ifdef _WIN32
    return ReadRegistryValue(valueName);
#else
    for (const auto& file : SettingsFiles()) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            continue;
        std::ostringstream text;
        text << in.rdbuf();
        std::string value = SettingFromText(text.str(), valueName);
        if (!value.empty())
            return value;
    }
    return {};
#endif
}

std::filesystem::path ExecutableFolder() {
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 32768);
    if (length == 0 || length >= 32768)
        return {};
    return std::filesystem::path(std::wstring(buffer, length)).parent_path();
#else
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
#endif
}

std::filesystem::path ProgramFolder() {
    const std::string configured = ReadSetting("FilePath");
    if (!configured.empty())
        return PathFromUtf8(configured);
    const auto exeFolder = ExecutableFolder();
    return exeFolder.empty() ? std::filesystem::path() : DataFolderBeside(exeFolder);
}

}  // namespace tessaly
