// A private program folder and settings file for tests that write the
// activity log: the settings lookup is pointed at a temporary folder, so no
// test touches a real user's log or configuration.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TempFolder.h"

namespace tessaly::testlog {

class LogSandbox {
public:
    LogSandbox() : root_("tessaly-log") {
        std::filesystem::create_directories(Program());
        std::filesystem::create_directories(root_ / "xdg");
        setenv("XDG_CONFIG_HOME", (root_ / "xdg").c_str(), 1);
        setenv("TESSALY_SETTINGS", Settings().c_str(), 1);
        WriteSettings("FilePath=" + Program().string() + "\n");
    }
    ~LogSandbox() {
        unsetenv("TESSALY_SETTINGS");
        unsetenv("XDG_CONFIG_HOME");
    }
    LogSandbox(const LogSandbox&) = delete;
    LogSandbox& operator=(const LogSandbox&) = delete;

    std::filesystem::path Root() const { return root_.Path(); }
    std::filesystem::path Program() const { return root_ / "program"; }
    std::filesystem::path Settings() const { return root_ / "settings.ini"; }
    std::filesystem::path LogFile() const { return Program() / "Activity Log.txt"; }

    void WriteSettings(const std::string& text) const { std::ofstream(Settings(), std::ios::binary) << text; }

    static std::string ReadText(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string ReadLog() const { return ReadText(LogFile()); }

private:
    testzip::TempFolder root_;
};

}  // namespace tessaly::testlog
