// Passwords on the command line tool: --password-file end to end (right,
// wrong, unreadable), list with a password, the prompt on a terminal (a
// pseudo-terminal here), and never the password in any output.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <thread>

#include "tests/cli/CliRunner.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

using namespace testzip;

const std::string kPassword = "Pa55-phrase";

std::vector<EntryToWrite> SecretEntries() {
    EntryToWrite traditional = Deflated("zc/notes.txt", TextContent("notes", 40000));
    traditional.password = kPassword;
    EntryToWrite aes = Stored("aes/noise.bin", NoiseContent(3, 20000));
    aes.password = kPassword;
    aes.aes = EntryToWrite::Aes{3, 2};
    EntryToWrite aesDeflated = Deflated("aes/text.txt", TextContent("aes", 30000));
    aesDeflated.password = kPassword;
    aesDeflated.aes = EntryToWrite::Aes{1, 1};
    return {traditional, aes, aesDeflated, Stored("plain.txt", "plain")};
}

void ExpectNoPassword(const CliRun& run) {
    EXPECT_EQ(run.out.find(kPassword), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find(kPassword), std::string::npos) << run.err;
}

TEST(PasswordCli, PasswordFileOpensEveryEncryptedEntry) {
    const auto entries = SecretEntries();
    TempFolder folder;
    const std::string zip = WriteZip(folder, "secret.zip", BuildZip(entries).bytes);
    WriteFileBytes(folder / "pw.txt", ToBytes(kPassword + "\r\nsecond line\n"));
    for (const char* mode : {"quick", "advance"}) {
        for (bool json : {false, true}) {
            SCOPED_TRACE(std::string(mode) + (json ? " json" : " text"));
            const auto out = folder / (std::string("out-") + mode + (json ? "-json" : ""));
            std::vector<std::string> args = {
                "extract", "--mode", mode, "--password-file", (folder / "pw.txt").string(), "-d", out.string(), zip};
            if (json) args.insert(args.begin() + 1, "--json");
            const CliRun run = RunCli(args);
            EXPECT_EQ(run.status, 0) << run.out << run.err;
            for (const EntryToWrite& e : entries) EXPECT_EQ(ReadFileBytes(out / e.name), e.data) << e.name;
            ExpectNoPassword(run);
        }
    }
}

TEST(PasswordCli, WrongPasswordWritesNothingAndExitsOne) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "secret.zip", BuildZip(SecretEntries()).bytes);
    WriteFileBytes(folder / "pw.txt", ToBytes("not " + kPassword + "\n"));
    const CliRun run =
        RunCli({"extract", "--password-file", (folder / "pw.txt").string(), "-d", (folder / "out").string(), zip});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(LinesStartingWith(run.out, "encrypted ").size(), 3u) << run.out;
    EXPECT_NE(run.out.find("(wrong password (traditional PKWARE encryption))"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("(wrong password (WinZip AES encryption))"), std::string::npos) << run.out;
    EXPECT_EQ(ListFilesBelow(folder / "out"), std::vector<std::string>{"plain.txt"});
    ExpectNoPassword(run);
}

TEST(PasswordCli, UnreadablePasswordFileIsAUsageError) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "secret.zip", BuildZip(SecretEntries()).bytes);
    for (const std::string& file : {(folder / "missing.txt").string(), folder.Path().string()}) {
        const CliRun run = RunCli({"extract", "--password-file", file, "-d", (folder / "out").string(), zip});
        EXPECT_EQ(run.status, 2) << file << run.err;
        EXPECT_NE(run.err.find("password file"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder / "out"));
    }
    const CliRun inline_ = RunCli({"extract", "--password=" + kPassword, "-d", (folder / "out").string(), zip});
    EXPECT_EQ(inline_.status, 2);
    EXPECT_NE(inline_.err.find("never given on the command line"), std::string::npos) << inline_.err;
}

// Without a password file and without a terminal, encrypted entries stay out.
TEST(PasswordCli, WithoutPasswordEncryptedEntriesStayOut) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "secret.zip", BuildZip(SecretEntries()).bytes);
    const CliRun run = RunCli({"extract", "-d", (folder / "out").string(), zip});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(LinesStartingWith(run.out, "encrypted ").size(), 3u) << run.out;
    EXPECT_EQ(ListFilesBelow(folder / "out"), std::vector<std::string>{"plain.txt"});

    const CliRun list = RunCli({"list", zip});
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.out.find("saving would skip it: encrypted (WinZip AES encryption)"), std::string::npos);
}

TEST(PasswordCli, ListWithPasswordShowsEncryptedEntriesAsSaved) {
    TempFolder folder;
    const std::string zip = WriteZip(folder, "secret.zip", BuildZip(SecretEntries()).bytes);
    WriteFileBytes(folder / "pw.txt", ToBytes(kPassword));
    const CliRun run = RunCli({"list", "--password-file", (folder / "pw.txt").string(), zip});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("saving would skip it"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("cannot be read"), std::string::npos) << run.out;
    ExpectNoPassword(run);
}

#ifndef _WIN32
// Runs the tool on a pseudo-terminal, answers the prompt with `answer` and
// returns everything the terminal showed, with the exit status.
CliRun RunOnTerminal(const std::vector<std::string>& args, const std::string& answer) {
    std::vector<std::string> argv = {TESSALY_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    CliRun run;
    if (child < 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool answered = false;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) break;  // the tool closed the terminal: it ended
            run.out.append(buffer, static_cast<std::size_t>(got));
        }
        if (!answered && run.out.find("Password for") != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // echo is off by now
            const std::string line = answer + "\n";
            if (::write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
            answered = true;
        }
    }
    int raw = 0;
    if (::waitpid(child, &raw, WNOHANG) != child) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &raw, 0);
    }
    ::close(master);
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    return run;
}

#endif

TEST(PasswordCli, PromptOnTheTerminalDoesNotShowThePassword) {
#ifdef _WIN32
    GTEST_SKIP() << "the prompt is tested on a pseudo-terminal, which Windows has not";
#else
    const auto entries = SecretEntries();
    TempFolder folder;
    const std::string zip = WriteZip(folder, "secret.zip", BuildZip(entries).bytes);
    const CliRun run = RunOnTerminal({"extract", "-d", (folder / "out").string(), zip}, kPassword);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Password for"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(kPassword), std::string::npos) << run.out;
    for (const EntryToWrite& e : entries) EXPECT_EQ(ReadFileBytes(folder / "out" / e.name), e.data) << e.name;

    // Enter alone leaves the encrypted entries out.
    const CliRun declined = RunOnTerminal({"extract", "-d", (folder / "out2").string(), zip}, "");
    EXPECT_EQ(declined.status, 1) << declined.out;
    EXPECT_EQ(ListFilesBelow(folder / "out2"), std::vector<std::string>{"plain.txt"});
#endif
}

}  // namespace
}  // namespace tessaly::clitest
