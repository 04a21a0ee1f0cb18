#include "platform/Terminal.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// shellapi.h needs the types windows.h declares.
#include <shellapi.h>

#include "platform/FileSystem.h"
#else
#include <unistd.h>
#endif

namespace tessaly {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

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
#else
std::vector<std::string> ProgramArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

void UseUtf8Console() {}
#endif

}  // namespace tessaly
