// What a destination or a source may hold that must not be trusted: links
// already in the destination (symbolic or hard) never carry a write outside
// it, and a source that is no regular file is refused at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

namespace fs = std::filesystem;
using namespace testzip;

std::string LineOf(const std::string& out, const std::string& name) {
    for (const std::string& line : LinesStartingWith(out, ""))
        if (line.find("  " + name) != std::string::npos) return line;
    return {};
}

TEST(HostileCli, ALinkInTheDestinationFailsItsEntriesAndNothingLandsOutside) {
    for (const char* mode : {"quick", "advance"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        fs::create_directories(folder / "out");
        fs::create_directories(folder / "outside");
        if (!CanMakeSymlinks(folder.Path())) GTEST_SKIP() << "symbolic links need a privilege this process lacks";
        fs::create_directory_symlink(folder / "outside", folder / "out/a");
        fs::create_symlink(folder / "outside/victim.txt", folder / "out/top.txt");
        const std::string zip = WriteZip(
            folder, "evil.zip",
            BuildZip({Stored("a/x.txt", "through the link"), Deflated("a/deeper/y.txt", TextContent("y", 3000)),
                      Stored("top.txt", "onto the link"), Stored("fine.txt", "fine")})
                .bytes);
        const CliRun run = RunCli({"extract", "--mode", mode, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        for (const char* name : {"a/x.txt", "a/deeper/y.txt", "top.txt"}) {
            const std::string line = LineOf(run.out, name);
            EXPECT_EQ(line.rfind("failed", 0), 0u) << line;
            EXPECT_NE(line.find("(path passes through a link)"), std::string::npos) << line;
        }
        EXPECT_TRUE(ListFilesBelow(folder / "outside").empty());
        EXPECT_EQ(ToString(ReadFileBytes(folder / "out/fine.txt")), "fine");
        EXPECT_NE(run.out.find("evil.zip: 4 entries: 1 ok, 3 failed"), std::string::npos) << run.out;
    }
}

TEST(HostileCli, AHardLinkInTheDestinationKeepsTheOtherFileIntact) {
    TempFolder folder;
    fs::create_directories(folder / "out/sub");
    WriteFileBytes(folder / "elsewhere.txt", ToBytes("must stay"));
    fs::create_hard_link(folder / "elsewhere.txt", folder / "out/sub/same.txt");
    const std::string zip = WriteZip(folder, "a.zip", BuildZip({Stored("sub/same.txt", "salvaged")}).bytes);
    const CliRun run = RunCli({"extract", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ToString(ReadFileBytes(folder / "elsewhere.txt")), "must stay");
    EXPECT_EQ(ToString(ReadFileBytes(folder / "out/sub/same.txt")), "salvaged");
}

TEST(HostileCli, TheChosenDestinationMayItselfBeALink) {
    TempFolder folder;
    fs::create_directories(folder / "real");
    if (!CanMakeSymlinks(folder.Path())) GTEST_SKIP() << "symbolic links need a privilege this process lacks";
    fs::create_directory_symlink(folder / "real", folder / "chosen");
    const std::string zip = WriteZip(folder, "a.zip", BuildZip({Stored("d/x.txt", "x")}).bytes);
    const CliRun run = RunCli({"extract", "-d", (folder / "chosen").string(), zip});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ToString(ReadFileBytes(folder / "real/d/x.txt")), "x");
}

// A pipe nobody writes to would block a plain open for ever.
TEST(HostileCli, ASourceThatIsNoRegularFileIsRefusedWithTwo) {
    TempFolder folder;
    struct Case {
        std::string path, says;
    };
    std::vector<Case> cases = {{PathText(folder.Path()), "is a folder"}};
#ifndef _WIN32
    // Windows has no pipes in the file system, and its devices have no
    // folder of their own.
    ASSERT_EQ(::mkfifo((folder / "pipe.zip").c_str(), 0600), 0);
    cases.push_back({(folder / "pipe.zip").string(), "is a pipe, not a regular file"});
    cases.push_back({"/dev/zero", "is a device, not a regular file"});
#endif
    for (const auto& c : cases) {
        for (const char* command : {"list", "extract"}) {
            SCOPED_TRACE(c.path + " " + command);
            const CliRun run = std::string(command) == "list"
                                   ? RunCli({"list", c.path})
                                   : RunCli({"extract", "-d", (folder / "out").string(), c.path});
            EXPECT_EQ(run.status, 2) << run.out << run.err;
            EXPECT_NE(run.err.find(c.path + ": " + c.says), std::string::npos) << run.err;
        }
    }
}

}  // namespace
}  // namespace tessaly::clitest
