// A private program folder and settings file for tests that write the
// activity log: the settings lookup is pointed at a temporary folder, so no
// test touches a real user's log or configuration.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "core/Settings.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly::testlog {

class LogSandbox {
public:
    LogSandbox() : root_("tessaly-log") {
        std::filesystem::create_directories(Program());
        std::filesystem::create_directories(root_ / "xdg");
        testzip::SetEnvironment("XDG_CONFIG_HOME", testzip::PathText(root_ / "xdg"));
        testzip::SetEnvironment("TESSALY_SETTINGS", testzip::PathText(Settings()));
        WriteSettings("FilePath=" + Program().string() + "\n");
    }
    ~LogSandbox() {
        testzip::UnsetEnvironment("TESSALY_SETTINGS");
        testzip::UnsetEnvironment("XDG_CONFIG_HOME");
    }
    LogSandbox(const LogSandbox&) = delete;
    LogSandbox& operator=(const LogSandbox&) = delete;

    std::filesystem::path Root() const { return root_.Path(); }
    std::filesystem::path Program() const { return root_ / "program"; }
    std::filesystem::path Settings() const { return root_ / "settings.ini"; }
    std::filesystem::path LogFile() const { return Program() / "Activity Log.txt"; }

    // Windows reads the settings from the registry, not from files: there
    // the same values go to HKEY_CLASSES_ROOT\TLZIP.
    void WriteSettings(const std::string& text) {
        std::ofstream(Settings(), std::ios::binary) << text;
#ifdef _WIN32
        filePath_.reset();
        logPath_.reset();
        filePath_.emplace("TLZIP", "FilePath", SettingFromText(text, "FilePath"));
        logPath_.emplace("TLZIP", "LogPath", SettingFromText(text, "LogPath"));
#endif
    }

    static std::string ReadText(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string ReadLog() const { return ReadText(LogFile()); }

private:
    testzip::TempFolder root_;
#ifdef _WIN32
    std::optional<testzip::ScopedClassesSetting> filePath_, logPath_;
#endif
};

}  // namespace tessaly::testlog
