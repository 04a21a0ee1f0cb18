#include "tests/cli/CliRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <sstream>

#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

// Single-quoted for the POSIX shell: every quote inside becomes '\''.
std::string ShellQuote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
    testzip::TempFolder capture("tessaly-cli-run");
    std::string command = ShellQuote(TESSALY_CLI_PATH);
    for (const auto& arg : args) command += " " + ShellQuote(arg);
    command +=
        " >" + ShellQuote((capture / "out").string()) + " 2>" + ShellQuote((capture / "err").string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    CliRun run;
    if (raw != -1 && WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    run.out = testzip::ToString(testzip::ReadFileBytes(capture / "out"));
    run.err = testzip::ToString(testzip::ReadFileBytes(capture / "err"));
    return run;
}

CliRun RunCliAndSignal(const std::vector<std::string>& args, const std::filesystem::path& startedWhen, int signal) {
    testzip::TempFolder capture("tessaly-cli-run");
    const std::string outPath = (capture / "out").string();
    const std::string errPath = (capture / "err").string();
    std::vector<std::string> argv = {TESSALY_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    CliRun run;
    if (child < 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool started = false;
    int raw = 0;
    bool exited = false;
    while (!started && !exited && std::chrono::steady_clock::now() < deadline) {
        started = std::filesystem::exists(startedWhen);
        exited = ::waitpid(child, &raw, WNOHANG) == child;
        if (!started && !exited) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (!exited) {
        ::kill(child, started ? signal : SIGKILL);
        ::waitpid(child, &raw, 0);
    }
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    run.out = testzip::ToString(testzip::ReadFileBytes(capture / "out"));
    run.err = testzip::ToString(testzip::ReadFileBytes(capture / "err"));
    return run;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos && line.compare(start, prefix.size(), prefix) == 0)
            lines.push_back(line.substr(start));
    }
    return lines;
}

std::string WriteZip(const testzip::TempFolder& folder, const std::string& name, const testzip::Bytes& bytes) {
    const auto path = folder / name;
    testzip::WriteFileBytes(path, bytes);
    return path.string();
}

}  // namespace tessaly::clitest
