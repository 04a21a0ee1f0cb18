#include "tests/cli/CliRunner.h"

#include <sys/wait.h>

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
