#include "core/Settings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/SystemSettings.h"

namespace tessaly {

const char* const AppTitle = " Tessaly for Zip";
const char* const BoxTitle = "  Tessaly for Zip";

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
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
        if (std::filesystem::is_directory(candidate, error)) return std::filesystem::weakly_canonical(candidate, error);
    }
    return (exeFolder / ".." / "data").lexically_normal();
}

}  // namespace

std::string SettingFromText(const std::string& text, const std::string& valueName) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string content = Trim(line);
        if (content.empty() || content[0] == '#' || content[0] == ';' || content[0] == '[') continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos) continue;
        if (Trim(content.substr(0, equals)) == valueName) return Trim(content.substr(equals + 1));
    }
    return {};
}

std::vector<std::filesystem::path> SettingsFiles() {
    std::vector<std::filesystem::path> files;
#ifdef _WIN32
    // Windows keeps the settings in the registry alone.
    return files;
#endif
    if (const char* named = std::getenv("TESSALY_SETTINGS"); named && *named) files.push_back(PathFromUtf8(named));
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        files.push_back(PathFromUtf8(config) / "tessaly-zip" / "settings.ini");
    else if (const char* home = std::getenv("HOME"); home && *home)
        files.push_back(PathFromUtf8(home) / ".config" / "tessaly-zip" / "settings.ini");
    files.push_back(std::filesystem::path(TESSALY_SYSTEM_CONFIG_DIR) / "tessaly-zip" / "settings.ini");
    return files;
}

std::string ReadSetting(const std::string& valueName) {
#ifdef _WIN32
    return ReadSystemSetting("TLZIP", valueName).value_or(std::string());
#endif
    if (auto stored = ReadSystemSetting("TLZIP", valueName)) return *stored;
    for (const auto& file : SettingsFiles()) {
        std::ifstream in(file, std::ios::binary);
        if (!in) continue;
        std::ostringstream text;
        text << in.rdbuf();
        std::string value = SettingFromText(text.str(), valueName);
        if (!value.empty()) return value;
    }
    return {};
}

std::filesystem::path ProgramFolder() {
    const std::string configured = ReadSetting("FilePath");
    if (!configured.empty()) return PathFromUtf8(configured);
    const auto exeFolder = ExecutableFolder();
    return exeFolder.empty() ? std::filesystem::path() : DataFolderBeside(exeFolder);
}

}  // namespace tessaly
