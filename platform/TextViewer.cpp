#include "platform/TextViewer.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs the types windows.h declares.
#include <shellapi.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
extern char** environ;
#endif

namespace tessaly {

#ifdef _WIN32
bool OpenInTextViewer(const std::filesystem::path& file) {
    wchar_t windowsFolder[MAX_PATH] = {};
    GetWindowsDirectoryW(windowsFolder, MAX_PATH);
    const std::wstring notepad = std::wstring(windowsFolder) + L"\\Notepad.exe";
    const std::wstring argument = L"\"" + file.wstring() + L"\"";
    const auto result = ShellExecuteW(nullptr, L"open", notepad.c_str(), argument.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
#else
bool OpenInTextViewer(const std::filesystem::path& file) {
    const std::string target = file.string();
    char program[] = "xdg-open";
    char* argv[] = {program, const_cast<char*>(target.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the opener when it ends, so it leaves no zombie behind.
    std::thread([child] { ::waitpid(child, nullptr, 0); }).detach();
    return true;
}
#endif

}  // namespace tessaly
