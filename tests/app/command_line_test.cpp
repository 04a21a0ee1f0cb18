// The desktop program's start-up switches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace tessaly {
namespace {

TEST(CommandLineSwitches, AutomationSwitchesInAnyCaseWithSlashOrDash) {
    const struct {
        std::vector<std::string> args;
        StartRequest request;
        bool endsAtOnce;
    } cases[] = {
        {{}, StartRequest::Run, false},
        {{"/Automation"}, StartRequest::Automation, false},
        {{"-EMBEDDING"}, StartRequest::Embedding, false},
        {{"/RegServer"}, StartRequest::Register, true},
        {{"-register"}, StartRequest::Register, true},
        {{"/UNREGSERVER"}, StartRequest::Unregister, true},
        {{"-Unregister"}, StartRequest::Unregister, true},
        {{"--help"}, StartRequest::Help, true},
        {{"--version"}, StartRequest::Version, true},
        {{"some-file.zip", "/regserver"}, StartRequest::Register, true},
        {{"--bogus"}, StartRequest::Unknown, true},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.request, c.request) << (c.args.empty() ? "" : c.args.back());
        EXPECT_EQ(EndsAtOnce(line.request), c.endsAtOnce);
    }
    EXPECT_EQ(ParseCommandLine({"--bogus"}).offending, "--bogus");
    EXPECT_EQ(ExitCodeFor(StartRequest::Unknown), 2);
    EXPECT_EQ(ExitCodeFor(StartRequest::Register), 0);
}

#ifndef _WIN32  // "/" starts a path here, a switch only on Windows
TEST(CommandLineArchives, PathsAreArchivesAndOnlyAutomationWordsAfterASlashAreSwitches) {
    const CommandLine line = ParseCommandLine({"/home/me/a.zip", "b.zip", "/Automation", "/tmp/regserver.zip"});
    EXPECT_EQ(line.request, StartRequest::Automation);
    const std::vector<std::string> archives = {"/home/me/a.zip", "b.zip", "/tmp/regserver.zip"};
    EXPECT_EQ(line.archives, archives);

    const CommandLine unknown = ParseCommandLine({"-x", "a.zip"});
    EXPECT_EQ(unknown.request, StartRequest::Unknown);
    EXPECT_EQ(unknown.offending, "-x");

    const CommandLine ended = ParseCommandLine({"--", "--help", "-x.zip"});
    EXPECT_EQ(ended.request, StartRequest::Run);
    EXPECT_EQ(ended.archives, (std::vector<std::string>{"--help", "-x.zip"}));
}
#endif

}  // namespace
}  // namespace tessaly
