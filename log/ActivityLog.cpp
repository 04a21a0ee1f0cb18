#include "log/ActivityLog.h"

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/Settings.h"
#include "log/LogEncoding.h"
#include "log/LogFile.h"
#include "log/TextViewer.h"
#include "platform/FileSystem.h"

namespace tessaly {

namespace {

const char* const kLogFileName = "Activity Log.txt";

std::mutex& WriterTurn() {
    static std::mutex turn;
    return turn;
}

bool PathExists(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

}  // namespace

std::filesystem::path ActivityLogPath() {
    const std::string logFolder = ReadSetting("LogPath");
    if (!logFolder.empty() && PathExists(PathFromUtf8(logFolder)))
        return PathFromUtf8(logFolder) / kLogFileName;
    return ProgramActivityLogPath();
}

std::filesystem::path ProgramActivityLogPath() { return ProgramFolder() / kLogFileName; }

bool WriteActivityLog(const std::string& text) {
    const std::string bytes = EncodeLogText(text, kActivityLogTextLimit);
    std::lock_guard<std::mutex> turn(WriterTurn());
    CLogFile file;
    if (!file.Open(ActivityLogPath(), std::chrono::seconds(2)))
        return false;
    if (file.Size() > kActivityLogSizeLimit && !file.StartAfresh())
        return false;
    return file.Append(bytes);
}

void ClearActivityLog() {
    {
        std::lock_guard<std::mutex> turn(WriterTurn());
        std::error_code ignored;
        std::filesystem::remove(ProgramActivityLogPath(), ignored);
    }
    WriteActivityLog("\r\n");
}

void ViewActivityLog() { OpenInTextViewer(ProgramActivityLogPath()); }

}  // namespace tessaly
