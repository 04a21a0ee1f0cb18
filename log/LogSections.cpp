#include "log/LogSections.h"

#include <initializer_list>

#include "core/Version.h"
#include "log/ActivityLog.h"

namespace tessaly {

namespace {

const char* const kLineEnd = "\r\n";

// One write per text, in order; the log's layout depends on it (each write
// is capped on its own).
void Write(std::initializer_list<std::string> texts) {
    for (const auto& text : texts) WriteActivityLog(text);
}

std::string CountOf(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void WriteLineEnds(int count) {
    for (int i = 0; i < count; ++i) WriteActivityLog(kLineEnd);
}

}  // namespace

const char* RepairModeLogName(int repairMode) { return repairMode == 1 ? "Advance  Repair" : "Quick Repair"; }

void LogProgramStart(const std::tm& localNow) {
    const std::string date = std::to_string(localNow.tm_mday) + "\\" + std::to_string(localNow.tm_mon + 1) + "\\" +
                             std::to_string(localNow.tm_year + 1900);
    const std::string time = std::to_string(localNow.tm_hour) + ":" + std::to_string(localNow.tm_min) + ":" +
                             std::to_string(localNow.tm_sec);
    WriteLineEnds(4);
    Write({"********************************* Start Log File ********************************"});
    WriteLineEnds(2);
    Write({"******************************Tessaly for Zip*****************************"});
    WriteLineEnds(2);
    Write({kVersionCaption});
    Write({kLineEnd, "Date", "    ", date, kLineEnd, "Time", "    ", time, kLineEnd, kLineEnd});
    Write({"************************* Step 1 :- Source Files Selection ***********************"});
    WriteLineEnds(2);
}

void LogRepairModeChange(int repairMode) {
    Write({kLineEnd, kLineEnd, "Repair Mode  :      ", RepairModeLogName(repairMode), kLineEnd, "______________",
           kLineEnd});
}

void LogSourceSelection(const std::vector<std::string>& paths, int repairMode, bool skipPreview) {
    Write({"Source Files :", kLineEnd, "______________", kLineEnd, kLineEnd});
    for (std::size_t i = 0; i < paths.size(); ++i) Write({std::to_string(i + 1), "-", "   ", paths[i], kLineEnd});
    Write({kLineEnd, kLineEnd, "Repair Mode  :      ", RepairModeLogName(repairMode), kLineEnd, "______________",
           kLineEnd, kLineEnd});
    Write({"Skip Preview Status :", "    ", skipPreview ? "TRUE" : "FALSE", kLineEnd, "____________________"});
}

void LogAnalysisHeading(int archiveCount) {
    Write({kLineEnd, kLineEnd, "************************* Step 2 :- Analysis Of Files*****************************",
           kLineEnd, kLineEnd, "Total Files Count :", "    ", std::to_string(archiveCount), kLineEnd,
           "___________________", kLineEnd, kLineEnd});
}

void LogAnalysisStart(int fileNumber, const std::string& path) {
    Write({"File Number :      ", std::to_string(fileNumber), kLineEnd, "File Name   :      ", path, kLineEnd});
}

void LogEntriesListed(int shown) {
    Write({"Number Of Files Extracted  :      ", std::to_string(shown), kLineEnd, kLineEnd, kLineEnd});
}

void LogReturnBack() { Write({kLineEnd, "Return Back to Previoue Step ", kLineEnd}); }

void LogSavingHeading() {
    Write({kLineEnd, kLineEnd, "*************************** Step 3 :- Files Saving********************************",
           kLineEnd, kLineEnd, "Destination Files Path :", kLineEnd, "________________________", kLineEnd, kLineEnd});
}

void LogOutputFolder(const std::string& folder) { Write({kLineEnd, folder}); }

void LogRepairCompleted() {
    Write({kLineEnd, kLineEnd,
           "******************* Repairing Completed successfully***********************************"});
}

std::string SavingShortfall(const SavingShortfallCounts& counts) {
    std::string text;
    auto add = [&text](int count, const char* one, const char* many, const char* what) {
        if (count > 0) text += (text.empty() ? "" : ", ") + CountOf(count, one, many) + what;
    };
    add(counts.filesNotWritten, "file", "files", " could not be written");
    add(counts.wrongPassword, "file", "files", " left out for a wrong password");
    add(counts.archivesNotRead, "archive", "archives", " could not be read");
    if (counts.destinationRefused)
        text += (text.empty() ? "" : ", ") + std::string("the destination cannot be written");
    return text;
}

std::string SavingShortfall(int filesNotWritten, int archivesNotRead) {
    return SavingShortfall(SavingShortfallCounts{filesNotWritten, 0, archivesNotRead});
}

void LogRepairIncomplete(const SavingShortfallCounts& counts) {
    // Three writes: the whole line can pass the cap on one write.
    Write({kLineEnd, kLineEnd, "******************* Repairing finished: ", SavingShortfall(counts),
           "***********************************"});
}

void LogRepairIncomplete(int filesNotWritten, int archivesNotRead) {
    LogRepairIncomplete(SavingShortfallCounts{filesNotWritten, 0, archivesNotRead});
}

void LogDestinationRefused(const std::string& folder, const std::string& reason) {
    Write({kLineEnd, "The destination cannot be written :  ", folder, kLineEnd, "Reason :  ", reason});
}

void LogRepairAborted() {
    Write({kLineEnd, kLineEnd, "******************* Repairing aborted***********************************"});
}

void LogRepairingStart(const std::string& archive, const std::string& output, int repairMode) {
    Write({kLineEnd, kLineEnd, "*************************** Save Repaired Archive ********************************",
           kLineEnd, kLineEnd});
    Write({"Source File   :      ", archive, kLineEnd, "Repaired File :      ", output, kLineEnd});
    Write({"Repair Mode   :      ", RepairModeLogName(repairMode), kLineEnd, "______________", kLineEnd});
}

void LogRepairedEntry(int number, const std::string& name, const std::string& outcome, const std::string& result) {
    Write({kLineEnd, std::to_string(number), "-", "   ", name, "   :   ", outcome, "  ->  ", result});
}

// The counts and the problem are writes of their own: the whole line can
// pass the cap on one write.
void LogRepairingWritten(const std::string& counts) {
    Write({kLineEnd, kLineEnd, "******************* Repaired archive written: ", counts,
           "***********************************"});
}

void LogRepairingStopped() {
    Write({kLineEnd, kLineEnd,
           "******************* Repaired archive stopped by user: nothing written***********************************"});
}

void LogRepairingNotWritten(const std::string& problem) {
    Write({kLineEnd, kLineEnd, "******************* Repaired archive not written: ", problem,
           "***********************************"});
}

}  // namespace tessaly
