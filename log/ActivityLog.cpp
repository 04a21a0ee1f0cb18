#include "log/ActivityLog.h"

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/Settings.h"
#include "log/LogEncoding.h"
#include "platform/FileSystem.h"
#include "platform/LogFile.h"
#include "platform/TextViewer.h"

namespace tessaly {

namespace {

const char* const kLogFileName = "Activity Log.txt";
// How long a writer waits for another process that holds the log.
constexpr std::chrono::seconds kPatience{2};

std::mutex& WriterTurn() {
    static std::mutex turn;
    return turn;
}

bool PathExists(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

// The user's own log folder, which the Windows installer names as LogPath
// ("%LOCALAPPDATA%\tessaly-zip") and which the user's first log line makes.
std::filesystem::path UserLogFolder() {
    const std::filesystem::path userFolder = UserStateFolder();
    return userFolder.empty() ? userFolder : userFolder / "tessaly-zip";
}

// With no folder configured, the log lives in the data folder beside the
// program, which a fresh build tree may not have made yet, or in the user's
// state folder, made on first use.
bool MakeDefaultFolder(const std::filesystem::path& folder) {
    if (IsExistingFolder(folder)) return false;
    const std::filesystem::path userLogFolder = UserLogFolder();
    const bool userLog = !userLogFolder.empty() && folder == userLogFolder;
    if (!userLog && (!ReadSetting("FilePath").empty() || !ReadSetting("LogPath").empty())) return false;
    return CreateFolderTree(folder);
}

}  // namespace

std::filesystem::path ActivityLogPath() {
    // A LogPath that names the user's own log folder holds before that folder
    // exists: it is made with the first line.
    const std::filesystem::path logFolder = PathFromUtf8(ReadSetting("LogPath"));
    const std::filesystem::path userLogFolder = UserLogFolder();
    if (!logFolder.empty() && (PathExists(logFolder) || logFolder.lexically_normal() == userLogFolder))
        return logFolder / kLogFileName;
    // An installed program folder is usually read-only for its users: their
    // log then lives in their own state folder.
    const std::filesystem::path programFolder = ProgramFolder();
    if (IsExistingFolder(programFolder) && !IsWritableFolder(programFolder) && !userLogFolder.empty())
        return userLogFolder / kLogFileName;
    return ProgramActivityLogPath();
}

std::filesystem::path ProgramActivityLogPath() { return ProgramFolder() / kLogFileName; }

bool WriteActivityLog(const std::string& text) {
    const std::string bytes = EncodeLogText(text, kActivityLogTextLimit);
    std::lock_guard<std::mutex> turn(WriterTurn());
    const std::filesystem::path path = ActivityLogPath();
    CLogFile file;
    if (!file.Open(path, kPatience) && !(MakeDefaultFolder(path.parent_path()) && file.Open(path, kPatience)))
        return false;
    if (file.Size() > kActivityLogSizeLimit && !file.StartAfresh()) return false;
    return file.Append(bytes);
}

void ClearActivityLog() {
    {
        std::lock_guard<std::mutex> turn(WriterTurn());
        std::error_code ignored;
        std::filesystem::remove(ActivityLogPath(), ignored);
    }
    WriteActivityLog("\r\n");
}

void ViewActivityLog() { OpenInTextViewer(ActivityLogPath()); }

}  // namespace tessaly
