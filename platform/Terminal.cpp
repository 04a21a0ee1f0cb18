#include "platform/Terminal.h"

#include <cstdlib>

#include "platform/Interrupt.h"

#ifdef _WIN32
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs the types windows.h declares.
#include <shellapi.h>

#include "platform/FileSystem.h"
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tessaly {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    // _isatty is true for every character device, NUL included: only a
    // console answers GetConsoleMode.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

namespace {
// A password longer than this is not typed; reading stops there.
constexpr std::size_t kLongestLine = 4096;

void Forget(std::string& text) {
    for (char& c : text) c = '\0';
    text.clear();
}
}  // namespace

#ifdef _WIN32

namespace {
// One line typed on the console, as UTF-8 (the console gives UTF-16); false
// at the end of input.
bool ReadConsoleLine(HANDLE input, std::string& line) {
    std::wstring wide;
    bool ended = true;
    for (wchar_t c = 0; wide.size() < kLongestLine && InterruptSignal() == 0;) {
        DWORD got = 0;
        if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) break;
        if (c == L'\r') continue;
        if (c == L'\n') {
            ended = false;
            break;
        }
        wide.push_back(c);
    }
    if (!wide.empty()) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        line.assign(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), line.data(), size, nullptr,
                            nullptr);
        for (wchar_t& c : wide) c = 0;
    }
    return !ended || !line.empty();
}

// One line from redirected input, as it comes.
bool ReadByteLine(std::string& line) {
    for (int c; line.size() < kLongestLine;) {
        c = std::fgetc(stdin);
        if (c == EOF) return !line.empty();
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
}  // namespace

std::optional<std::string> ReadLineWithoutEcho(const std::string& prompt) {
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != 0;
    std::string line;
    bool read = false;
    if (console) {
        SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        read = ReadConsoleLine(input, line);
        SetConsoleMode(input, mode);
        std::fputs("\n", stderr);
    } else {
        read = ReadByteLine(line);
    }
    if (!read || InterruptSignal() != 0) {
        Forget(line);
        return std::nullopt;
    }
    return line;
}

#else

// Read byte by byte straight from the descriptor (no stdio buffer keeps a
// copy), waking up now and then to notice an interrupt request.
std::optional<std::string> ReadLineWithoutEcho(const std::string& prompt) {
    const int fd = fileno(stdin);
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool terminal = tcgetattr(fd, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool complete = false;
    while (line.size() < kLongestLine && InterruptSignal() == 0) {
        pollfd waiting{fd, POLLIN, 0};
        const int ready = poll(&waiting, 1, 200);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (c == '\n') {
            complete = true;
            break;
        }
        line.push_back(c);
    }
    if (terminal) tcsetattr(fd, TCSAFLUSH, &saved);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (InterruptSignal() != 0 || (!complete && line.empty())) {
        if (terminal && !complete) std::fputs("\n", stderr);
        Forget(line);
        return std::nullopt;
    }
    return line;
}

#endif

#ifdef _WIN32
std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(PathToUtf8(std::filesystem::path(wide[i])));
    ::LocalFree(wide);
    return arguments;
}

namespace {
UINT consoleCodePageBefore = 0;
void RestoreConsoleCodePage() { ::SetConsoleOutputCP(consoleCodePageBefore); }
}  // namespace

// The console's own code page comes back when the program ends, so the
// console it ran in reads as before.
void UseUtf8Console() {
    consoleCodePageBefore = ::GetConsoleOutputCP();
    if (consoleCodePageBefore == 0 || consoleCodePageBefore == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
    std::atexit(RestoreConsoleCodePage);
}

void UseParentConsole() {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) return;  // a file, a pipe or a console already
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}
#else
std::vector<std::string> ProgramArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void UseParentConsole() {}

void UseUtf8Console() {}
#endif

}  // namespace tessaly
