#include "platform/Terminal.h"

#include "platform/Interrupt.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tessaly {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
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

std::optional<std::string> ReadLineWithoutEcho(const std::string& prompt) {
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != 0;
    if (console) SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::string line;
    bool ended = false;
    for (int c; line.size() < kLongestLine;) {
        c = std::fgetc(stdin);
        if (c == EOF) {
            ended = true;
            break;
        }
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (console) SetConsoleMode(input, mode);
    std::fputs("\n", stderr);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if ((ended && line.empty()) || InterruptSignal() != 0) {
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

}  // namespace tessaly
