// The activity log as a file: where it goes, how texts are encoded and cut,
// when it starts afresh, and that no text is lost to a concurrent writer.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "log/ActivityLog.h"
#include "log/LogEncoding.h"
#include "tests/log/LogSandbox.h"

namespace tessaly {
namespace {

using testlog::LogSandbox;

class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) { testzip::SetEnvironment("LC_ALL", name); }
    ~ScopedLocale() { testzip::UnsetEnvironment("LC_ALL"); }
};

TEST(ActivityLogWriter, AppendsEachTextAsGivenWithoutLineEndsOfItsOwn) {
    LogSandbox sandbox;
    EXPECT_TRUE(WriteActivityLog("File Number :      "));
    EXPECT_TRUE(WriteActivityLog("1"));
    EXPECT_TRUE(WriteActivityLog("\r\n"));
    EXPECT_EQ(sandbox.ReadLog(), "File Number :      1\r\n");
}

TEST(ActivityLogWriter, LogPathFolderTakesPrecedenceForTheWriterOnly) {
    LogSandbox sandbox;
    const auto elsewhere = sandbox.Root() / "logs";
    std::filesystem::create_directories(elsewhere);
    sandbox.WriteSettings("FilePath=" + sandbox.Program().string() + "\nLogPath=" + elsewhere.string() + "\n");
    EXPECT_EQ(ActivityLogPath(), elsewhere / "Activity Log.txt");
    EXPECT_EQ(ProgramActivityLogPath(), sandbox.LogFile());
    WriteActivityLog("x");
    EXPECT_EQ(LogSandbox::ReadText(elsewhere / "Activity Log.txt"), "x");
    EXPECT_FALSE(std::filesystem::exists(sandbox.LogFile()));
}

// Clear Log deletes the log that is written, not a stale one in the program
// folder, and starts it again with one line end; the file a viewer is shown
// is that same log.
TEST(ActivityLogWriter, ClearStartsTheWrittenLogAgainWithOneLineEnd) {
    LogSandbox sandbox;
    WriteActivityLog("old text");
    ClearActivityLog();
    EXPECT_EQ(sandbox.ReadLog(), "\r\n");

    const auto elsewhere = sandbox.Root() / "logs";
    std::filesystem::create_directories(elsewhere);
    sandbox.WriteSettings("FilePath=" + sandbox.Program().string() + "\nLogPath=" + elsewhere.string() + "\n");
    WriteActivityLog("old text elsewhere");
    ClearActivityLog();
    EXPECT_EQ(LogSandbox::ReadText(elsewhere / "Activity Log.txt"), "\r\n");
    EXPECT_EQ(sandbox.ReadLog(), "\r\n");  // the program folder's log is left as it was
}

TEST(ActivityLogWriter, MissingLogPathFolderFallsBackToTheProgramFolder) {
    LogSandbox sandbox;
    sandbox.WriteSettings("FilePath=" + sandbox.Program().string() + "\nLogPath=" + (sandbox.Root() / "gone").string() +
                          "\n");
    WriteActivityLog("y");
    EXPECT_EQ(sandbox.ReadLog(), "y");
}

// The Windows installer names each user's own log folder as LogPath, a
// folder that does not exist before the user's first run: the first line
// makes it, and the log never lands in the program folder meanwhile.
TEST(ActivityLogWriter, LogPathNamingTheUsersOwnLogFolderIsMadeOnFirstUse) {
    LogSandbox sandbox;
    const std::filesystem::path state = sandbox.Root() / "state";
    std::filesystem::create_directories(state);
#ifdef _WIN32
    testzip::ScopedEnvironment user("LOCALAPPDATA", testzip::PathText(state));
#else
    testzip::ScopedEnvironment user("XDG_STATE_HOME", testzip::PathText(state));
#endif
    const std::filesystem::path logFolder = state / "tessaly-zip";
    sandbox.WriteSettings("FilePath=" + sandbox.Program().string() + "\nLogPath=" + logFolder.string() + "\n");
    EXPECT_EQ(ActivityLogPath(), logFolder / "Activity Log.txt");
    EXPECT_TRUE(WriteActivityLog("first"));
    EXPECT_EQ(LogSandbox::ReadText(logFolder / "Activity Log.txt"), "first");
    EXPECT_FALSE(std::filesystem::exists(sandbox.LogFile()));
}

// An installed program folder is read-only for its users: their log goes to
// their own state folder, and viewing and clearing find it there too. Root
// may write anywhere, so the writer runs as an ordinary user in a child.
TEST(ActivityLogWriter, ReadOnlyProgramFolderPutsTheLogInTheUsersStateFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder's read-only attribute does not stop writing into it on Windows, and no test can drop to "
                    "another user";
#else
    LogSandbox sandbox;
    const std::filesystem::path state = sandbox.Root() / "state";
    std::filesystem::create_directories(state);
    namespace fs = std::filesystem;
    fs::permissions(sandbox.Root(), fs::perms::all);
    fs::permissions(state, fs::perms::all);
    fs::permissions(sandbox.Settings().parent_path(), fs::perms::all);
    fs::permissions(sandbox.Program(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(3);
        testzip::SetEnvironment("XDG_STATE_HOME", testzip::PathText(state));
        const bool written = WriteActivityLog("z");
        ::_exit(written && ActivityLogPath() == state / "tessaly-zip" / "Activity Log.txt" ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    fs::permissions(sandbox.Program(), fs::perms::owner_all);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(LogSandbox::ReadText(state / "tessaly-zip" / "Activity Log.txt"), "z");
    EXPECT_FALSE(fs::exists(sandbox.LogFile()));
#endif
}

TEST(ActivityLogWriter, LogOfExactlyTheLimitIsAppendedToAndOneByteMoreStartsAfresh) {
    LogSandbox sandbox;
    { std::ofstream(sandbox.LogFile(), std::ios::binary) << std::string(kActivityLogSizeLimit, 'a'); }
    WriteActivityLog("b");
    EXPECT_EQ(std::filesystem::file_size(sandbox.LogFile()), kActivityLogSizeLimit + 1);
    WriteActivityLog("first text of the new log");
    EXPECT_EQ(sandbox.ReadLog(), "first text of the new log");
}

TEST(ActivityLogWriter, LongTextIsCutAtTwoHundredBytes) {
    LogSandbox sandbox;
    const std::string path = "/" + std::string(249, 'p');
    WriteActivityLog(path);
    EXPECT_EQ(sandbox.ReadLog(), path.substr(0, 200));
}

TEST(ActivityLogWriter, ReadOnlyLogIsMadeWritable) {
    LogSandbox sandbox;
    WriteActivityLog("a");
    std::filesystem::permissions(sandbox.LogFile(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_TRUE(WriteActivityLog("b"));
    EXPECT_EQ(sandbox.ReadLog(), "ab");
}

TEST(ActivityLogWriter, WritersInThisProcessLoseNoText) {
    LogSandbox sandbox;
    constexpr int kWriters = 4;
    constexpr int kTexts = 50;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([w] {
            for (int i = 0; i < kTexts; ++i) WriteActivityLog(std::string(1, static_cast<char>('A' + w)) + "\n");
        });
    for (auto& writer : writers) writer.join();
    const std::string log = sandbox.ReadLog();
    ASSERT_EQ(log.size(), static_cast<std::size_t>(kWriters * kTexts * 2));
    for (int w = 0; w < kWriters; ++w) EXPECT_EQ(std::count(log.begin(), log.end(), 'A' + w), kTexts);
}

TEST(ActivityLogWriter, WaitsForAnotherProcessHoldingTheLog) {
#ifdef _WIN32
    GTEST_SKIP() << "the holder is made with fork(), which Windows lacks; the same wait is the sharing-violation retry";
#else
    LogSandbox sandbox;
    WriteActivityLog("before ");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = open(sandbox.LogFile().c_str(), O_RDWR);
        flock(fd, LOCK_EX);
        (void)!write(ready[1], "x", 1);
        usleep(300 * 1000);
        _exit(0);  // the lock goes with the process
    }
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    EXPECT_TRUE(WriteActivityLog("after"));
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(sandbox.ReadLog(), "before after");
#endif
}

struct EncodingCase {
    const char* name;
    const char* locale;
    std::string text;
    std::size_t limit;
    std::string expected;
    friend void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }
};

class LogEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(LogEncodingTest, EncodesInTheLocaleCharacterSet) {
    const EncodingCase& c = GetParam();
#ifdef _WIN32
    if (std::string(c.locale) != "C.UTF-8")
        GTEST_SKIP() << "Windows writes the log in its ANSI code page, whatever the locale variables say";
    if (c.text.find('\xC3') != std::string::npos)
        GTEST_SKIP() << "accented letters depend on the ANSI code page; the ANSI cases below cover them";
#endif
    ScopedLocale locale(c.locale);
    EXPECT_EQ(EncodeLogText(c.text, c.limit), c.expected);
}

const std::string kAccented = "caf\xC3\xA9";  // café

INSTANTIATE_TEST_SUITE_P(
    Texts, LogEncodingTest,
    ::testing::Values(EncodingCase{"Utf8KeptAsIs", "C.UTF-8", kAccented, 200, kAccented},
                      EncodingCase{"AsciiLocaleReplacesWithQuestionMark", "C", kAccented, 200, "caf?"},
                      EncodingCase{"InvalidBytesBecomeQuestionMarks", "C.UTF-8",
                                   "a\xFF"
                                   "b",
                                   200, "a?b"},
                      EncodingCase{"CutNeverSplitsACharacter", "C.UTF-8", std::string(199, 'x') + "\xC3\xA9" + "tail",
                                   200, std::string(199, 'x')},
                      EncodingCase{"CutAtExactlyTheLimit", "C.UTF-8", std::string(250, 'x'), 200,
                                   std::string(200, 'x')},
                      EncodingCase{"NulEndsTheText", "C.UTF-8", std::string("ab\0cd", 5), 200, "ab"}),
    [](const auto& info) { return std::string(info.param.name); });

#ifdef _WIN32
// Windows writes the log in the ANSI code page, and a character the code
// page lacks becomes "?", never a look-alike chosen by best fit ("a" for
// "\xC4\x81", "\xA5" turned "\\" in Japanese code pages).
TEST(LogEncodingAnsi, CharactersTheCodePageLacksBecomeQuestionMarks) {
    const UINT codePage = ::GetACP();
    if (codePage == CP_UTF8) GTEST_SKIP() << "the ANSI code page is UTF-8 here, which lacks no character";
    EXPECT_EQ(EncodeLogText("a\xC4\x81z", 200), "a?z") << "code page " << codePage;
    EXPECT_EQ(EncodeLogText("\xE2\x88\x9E", 200), "?") << "code page " << codePage;  // infinity sign
    if (codePage == 1252) {
        EXPECT_EQ(EncodeLogText(kAccented, 200), "caf\xE9");
    }
}
#endif

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST(ActivityLogViewer, OpensTheProgramFolderLogInTheDesktopViewer) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows opens the log in Notepad, which a test without a desktop cannot watch";
#else
    testlog::LogSandbox sandbox;
    const auto bin = sandbox.Root() / "bin";
    std::filesystem::create_directories(bin);
    const auto opened = sandbox.Root() / "opened.txt";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << ".tmp'\nmv '" << opened.string()
               << ".tmp' '" << opened.string() << "'\n";
    }
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    testzip::SetEnvironment("PATH", bin.string() + ":" + oldPath);
    ViewActivityLog();
    testzip::SetEnvironment("PATH", oldPath);
    for (int i = 0; i < 500 && !std::filesystem::exists(opened); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(testlog::LogSandbox::ReadText(opened), sandbox.LogFile().string());
#endif
}

}  // namespace
}  // namespace tessaly
