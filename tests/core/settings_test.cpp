// Where settings come from, and the immediate end of the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/EndProcess.h"
#include "core/Settings.h"
#include "platform/FileSystem.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly {
namespace {

class SettingsLookup : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "settings files are looked up on POSIX systems only; Windows reads HKEY_CLASSES_ROOT\\TLZIP";
#endif
        std::filesystem::create_directories(XdgFile().parent_path());
        testzip::SetEnvironment("XDG_CONFIG_HOME", testzip::PathText(folder_ / "xdg"));
        testzip::SetEnvironment("TESSALY_SETTINGS", testzip::PathText(NamedFile()));
    }
    void TearDown() override {
        testzip::UnsetEnvironment("XDG_CONFIG_HOME");
        testzip::UnsetEnvironment("TESSALY_SETTINGS");
    }
    std::filesystem::path NamedFile() const { return folder_ / "named.ini"; }
    std::filesystem::path XdgFile() const { return folder_ / "xdg" / "tessaly-zip" / "settings.ini"; }
    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }

    testzip::TempFolder folder_{"tessaly-settings"};
};

TEST_F(SettingsLookup, NamedFileWinsAndEachValueFallsThroughOnItsOwn) {
    Write(NamedFile(), "FilePath=/opt/named\n");
    Write(XdgFile(), "FilePath=/opt/user\nLogPath=/var/user-logs\n");
    EXPECT_EQ(ReadSetting("FilePath"), "/opt/named");
    EXPECT_EQ(ReadSetting("LogPath"), "/var/user-logs");
    EXPECT_EQ(ReadSetting("Missing"), "");
}

TEST_F(SettingsLookup, UserFileIsUsedWhenNoFileIsNamed) {
    testzip::UnsetEnvironment("TESSALY_SETTINGS");
    Write(XdgFile(), "[TLZIP]\nFilePath = /opt/user \n");
    EXPECT_EQ(ReadSetting("FilePath"), "/opt/user");
    EXPECT_EQ(ProgramFolder(), std::filesystem::path("/opt/user"));
}

TEST_F(SettingsLookup, LongValuesAreReadWhole) {
    const std::string longPath = "/" + std::string(400, 'd');
    Write(NamedFile(), "FilePath=" + longPath + "\n");
    EXPECT_EQ(ReadSetting("FilePath"), longPath);
}

TEST_F(SettingsLookup, WithoutFilePathTheProgramFolderIsTheDataFolderBesideTheProgram) {
    const auto folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.filename(), "data");
    EXPECT_EQ(std::filesystem::weakly_canonical(folder.parent_path()),
              std::filesystem::weakly_canonical(ExecutableFolder().parent_path()));
}

#ifdef _WIN32
// On Windows the string values of HKEY_CLASSES_ROOT\TLZIP are the settings,
// and no file is consulted, however the environment points at one.
TEST(RegistrySettings, ValuesComeFromTheClassesKeyAndNoFileIsRead) {
    testzip::TempFolder folder{"tessaly-settings"};
    std::ofstream(folder / "named.ini", std::ios::binary) << "LogPath=C:\\from-file\n";
    testzip::ScopedEnvironment named("TESSALY_SETTINGS", testzip::PathText(folder / "named.ini"));
    const std::string program = "C:\\Program Files\\Tessaly \xC3\xA9";
    testzip::ScopedClassesSetting filePath("TLZIP", "FilePath", program);
    EXPECT_EQ(ReadSetting("FilePath"), program);
    EXPECT_EQ(ProgramFolder(), testzip::U8Path(program));
    EXPECT_EQ(ReadSetting("LogPath"), "");
    EXPECT_TRUE(SettingsFiles().empty());
}

// The installer stores the log folder as "%LOCALAPPDATA%\tessaly-zip", for
// expansion: every user reads it as a folder of their own, never the
// literal text (which would name a folder nobody has).
TEST(RegistrySettings, ExpandableValuesAreReadWithTheReadersEnvironment) {
    const std::string home = "C:\\Users\\someone \xC3\xA9";
    testzip::ScopedEnvironment user("TESSALY_TEST_HOME", home);
    testzip::ScopedClassesSetting logPath("TLZIP", "LogPath", "%TESSALY_TEST_HOME%\\tessaly-zip", true);
    EXPECT_EQ(ReadSetting("LogPath"), home + "\\tessaly-zip");
    testzip::ScopedClassesSetting plain("TLZIP", "FilePath", "%TESSALY_TEST_HOME%");
    EXPECT_EQ(ReadSetting("FilePath"), "%TESSALY_TEST_HOME%");
}
#endif

struct TextCase {
    const char* text;
    const char* name;
    const char* expected;
};

TEST(SettingFromText, ReadsNameValueLines) {
    const TextCase cases[] = {
        {"FilePath=/a\nLogPath=/b\n", "LogPath", "/b"},
        {"# FilePath=/commented\nFilePath=/real", "FilePath", "/real"},
        {"; note\r\n  FilePath  =  /with blanks inside  \r\n", "FilePath", "/with blanks inside"},
        {"FilePathX=/other\n", "FilePath", ""},
        {"FilePath\n", "FilePath", ""},
        {"LogPath=/first\nLogPath=/second\n", "LogPath", "/first"},
    };
    for (const auto& c : cases) EXPECT_EQ(SettingFromText(c.text, c.name), c.expected) << c.text;
}

struct Unwinding {
    ~Unwinding() { std::fputs("unwound", stderr); }
};

TEST(EndProcessDeathTest, EndsAtOnceWithCodeZeroRunningNoDestructors) {
    EXPECT_EXIT(
        {
            Unwinding local;
            EndProcess();
        },
        ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
}  // namespace tessaly
