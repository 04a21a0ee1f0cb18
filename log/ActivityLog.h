// The activity log, "Activity Log.txt": the one human-readable record of
// what the user did and what a repair produced. Appending a text, viewing
// the file in the desktop's text viewer, and deleting it for Clear Log.
//
// The exact texts and their order live in LogSections.h; this module only
// places, encodes, caps and writes them. It asks no questions (Clear Log's
// question belongs to the dialogs).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tessaly {

// A log that has grown past this many bytes is started afresh by the next
// write, which becomes its first content.
constexpr std::uint64_t kActivityLogSizeLimit = 5242880;
// The most bytes one text adds to the log; a longer text is cut.
constexpr std::size_t kActivityLogTextLimit = 200;

// Where the writer writes: the "LogPath" folder when it is set and exists,
// else the program folder.
std::filesystem::path ActivityLogPath();

// The program folder's log, where the writer writes unless "LogPath" says
// otherwise.
std::filesystem::path ProgramActivityLogPath();

// Appends one text (UTF-8) to the log, encoded and cut as LogEncoding.h
// says; true when it was written. Callable from any thread: writers in this
// process take turns, and a writer waits up to two seconds for another
// process that holds the file.
bool WriteActivityLog(const std::string& text);

// Opens the log the writer writes in the desktop's viewer for text files
// (Notepad on Windows). Does not wait for the viewer; failures are ignored.
void ViewActivityLog();

// The Yes branch of Clear Log: deletes the log the writer writes (a failure
// is ignored) and writes "\r\n", so the log starts again with an empty line.
void ClearActivityLog();

}  // namespace tessaly
