// The command line: what parses, what is a usage error (status 2, a hint on
// standard error, nothing on standard output), help and version, and where
// several archives go.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CommandLine.h"
#include "cli/OutputFolders.h"
#include "tests/cli/CliRunner.h"

namespace tessaly::cli {
namespace {

TEST(CommandLine, ReadsCommandsModesAndPaths) {
    struct Case {
        std::vector<std::string> args;
        Command command;
        int mode;
        bool json;
        std::string destination;
        std::vector<std::string> archives;
    };
    const Case cases[] = {
        {{"list", "a.zip"}, Command::List, 0, false, "", {"a.zip"}},
        {{"list", "--mode", "advance", "--json", "a.zip", "b.zip"}, Command::List, 1, true, "", {"a.zip", "b.zip"}},
        {{"list", "a.zip", "--mode=quick"}, Command::List, 0, false, "", {"a.zip"}},
        {{"extract", "-d", "out", "a.zip"}, Command::Extract, 0, false, "out", {"a.zip"}},
        {{"extract", "a.zip", "-d", "out", "--mode", "advance"}, Command::Extract, 1, false, "out", {"a.zip"}},
        {{"extract", "-d", "out", "--", "-odd.zip"}, Command::Extract, 0, false, "out", {"-odd.zip"}},
        // Written with the system's own separator (Windows also takes "/").
        {{"extract", "-d", "out/sub", "a.zip"},
         Command::Extract,
         0,
         false,
         (std::filesystem::path("out") / "sub").string(),
         {"a.zip"}},
        {{"repair", "--mode", "advance", "-o", "x.zip", "a.zip"}, Command::Repair, 1, false, "", {"a.zip"}},
        {{"list", "--help"}, Command::Help, 0, false, "", {}},
        {{"--version"}, Command::Version, 0, false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " ... " + c.args.back());
        const ParseResult parsed = ParseCommandLine(c.args);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        EXPECT_EQ(parsed.options.command, c.command);
        EXPECT_EQ(parsed.options.repairMode, c.mode);
        EXPECT_EQ(parsed.options.json, c.json);
        EXPECT_EQ(parsed.options.destination.string(), c.destination);
        std::vector<std::string> archives;
        for (const auto& a : parsed.options.archives) archives.push_back(a.string());
        if (c.command == Command::List || c.command == Command::Extract || c.command == Command::Repair) {
            EXPECT_EQ(archives, c.archives);
        }
    }
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhy) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"frobnicate", "a.zip"}, "frobnicate"},
        {{"list"}, "no archive"},
        {{"extract", "a.zip"}, "-d"},
        {{"extract", "-d"}, "-d"},
        {{"extract", "-d", "x", "-d", "y", "a.zip"}, "more than once"},
        {{"list", "--mode", "slow", "a.zip"}, "slow"},
        {{"list", "--mode"}, "--mode"},
        {{"list", "-d", "out", "a.zip"}, "-d"},
        {{"list", "--bogus", "a.zip"}, "--bogus"},
        {{"repair", "a.zip"}, "-o FILE"},
        {{"repair", "-o", "x.zip", "a.zip", "b.zip"}, "one archive"},
        {{"repair", "-o", "x.zip", "-d", "out", "a.zip"}, "-d belongs to extract"},
        {{"repair", "--partial", "some", "-o", "x.zip", "a.zip"}, "some"},
        {{"extract", "--force", "-d", "out", "a.zip"}, "--force belongs to repair"},
        {{"list", "-o", "x.zip", "a.zip"}, "-o belongs to repair"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mentions);
        const clitest::CliRun run = clitest::RunCli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
    for (const char* option : {"--help", "-h"}) {
        const clitest::CliRun run = clitest::RunCli({option});
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("tessaly-zip-cli list"), std::string::npos);
        EXPECT_NE(run.out.find("tessaly-zip-cli extract"), std::string::npos);
        EXPECT_NE(run.out.find("tessaly-zip-cli repair"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
    const clitest::CliRun version = clitest::RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tessaly-zip-cli ", 0), 0u);
}

TEST(OutputFolders, OneArchiveUsesTheDestinationSeveralGetDistinctSafeFolders) {
    EXPECT_EQ(OutputFolders("out", {"x/a.zip"}), std::vector<std::filesystem::path>{"out"});
    const auto folders = OutputFolders("out", {"x/a.zip", "y/A.zip", "b.tar.zip", "noext", "..", "dir/"});
    const std::vector<std::filesystem::path> expected = {"out/a",     "out/A (2)",   "out/b.tar",
                                                         "out/noext", "out/archive", "out/archive (2)"};
    EXPECT_EQ(folders, expected);
}

}  // namespace
}  // namespace tessaly::cli
