#include "tests/cli/CliRunner.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <thread>

#include <cstdlib>
#include <sstream>

#include "tests/support/Portable.h"
#include "tests/support/TempFolder.h"

namespace tessaly::clitest {
namespace {

#ifdef _WIN32
// One argument quoted the way the C runtime splits a command line: quotes
// around it, a quote inside escaped, backslashes doubled only before a quote.
std::wstring QuoteArgument(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE InheritableFile(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs the tool with its output in two files and no input; the exit code, or
// -1 when it could not be started.
int RunAndWait(const std::vector<std::string>& args, const std::filesystem::path& out,
               const std::filesystem::path& err) {
    std::wstring command = QuoteArgument(testzip::U8Path(TESSALY_CLI_PATH).wstring());
    for (const auto& arg : args) command += L" " + QuoteArgument(testzip::U8Path(arg).wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableFile(L"NUL", false);
    startup.hStdOutput = InheritableFile(out, true);
    startup.hStdError = InheritableFile(err, true);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                          nullptr, &startup, &process);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    if (!started) return -1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = ::GetExitCodeProcess(process.hProcess, &code) != 0;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return known ? static_cast<int>(code) : -1;
}
#else

// Single-quoted for the POSIX shell: every quote inside becomes '\''.
std::string ShellQuote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunAndWait(const std::vector<std::string>& args, const std::filesystem::path& out,
               const std::filesystem::path& err) {
    std::string command = ShellQuote(TESSALY_CLI_PATH);
    for (const auto& arg : args) command += " " + ShellQuote(arg);
    command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
#endif

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
    testzip::TempFolder capture("tessaly-cli-run");
    CliRun run;
    run.status = RunAndWait(args, capture / "out", capture / "err");
    run.out = testzip::ToString(testzip::ReadFileBytes(capture / "out"));
    run.err = testzip::ToString(testzip::ReadFileBytes(capture / "err"));
    return run;
}

#ifndef _WIN32
namespace {

// Starts the tool with its output in two files and no input. With a
// `fileSizeLimit` (not 0) it runs under that RLIMIT_FSIZE, with SIGXFSZ at
// its default action whatever this process does with it, as a shell with
// `ulimit -f` would start it. -1 when it could not be started.
pid_t StartCli(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath,
               std::uint64_t fileSizeLimit = 0) {
    std::vector<std::string> argv = {TESSALY_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (fileSizeLimit != 0) {
            ::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = static_cast<rlim_t>(fileSizeLimit);
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
        }
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    return child;
}

}  // namespace

CliRun RunCliAndSignal(const std::vector<std::string>& args, const std::filesystem::path& startedWhen, int signal) {
    testzip::TempFolder capture("tessaly-cli-run");
    const pid_t child = StartCli(args, (capture / "out").string(), (capture / "err").string());
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

CliRun RunCliUnderFileSizeLimit(const std::vector<std::string>& args, std::uint64_t limit) {
    testzip::TempFolder capture("tessaly-cli-run");
    const pid_t child = StartCli(args, (capture / "out").string(), (capture / "err").string(), limit);
    CliRun run;
    if (child < 0) return run;
    int raw = 0;
    ::waitpid(child, &raw, 0);
    if (WIFEXITED(raw)) run.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) run.signal = WTERMSIG(raw);
    run.out = testzip::ToString(testzip::ReadFileBytes(capture / "out"));
    run.err = testzip::ToString(testzip::ReadFileBytes(capture / "err"));
    return run;
}

#endif

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
    return testzip::PathText(path);
}

}  // namespace tessaly::clitest
