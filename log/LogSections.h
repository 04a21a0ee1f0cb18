// Every text the program writes to the activity log, one function per
// section, each text one write in the order the log shows it.
//
// The sections only append; they do not decide when they are written (the
// dialogs and workers do).
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace tessaly {

// "Quick Repair" or "Advance  Repair" (two blanks), as the log names a mode.
const char* RepairModeLogName(int repairMode);

// Program start: the banner, the version, the local date ("7\12\2026") and
// time ("3:4:5"), and the heading of step 1.
void LogProgramStart(const std::tm& localNow);
// The user picked a repair mode (also when it did not change).
void LogRepairModeChange(int repairMode);
// Repair pressed: the numbered source files, the mode and the Skip Preview
// state. Ends without a line end: a refused Repair leaves the log there.
void LogSourceSelection(const std::vector<std::string>& paths, int repairMode, bool skipPreview);
// Repair accepted: the heading of step 2 and the number of archives.
void LogAnalysisHeading(int archiveCount);
// An analysis begins: the archive's 1-based number and path.
void LogAnalysisStart(int fileNumber, const std::string& path);
// An analysis has listed its entries.
void LogEntriesListed(int shown);
// The preview's Back to the previous step.
void LogReturnBack();
// Saving begins: the heading of step 3.
void LogSavingHeading();
// Saving reached an archive: the path of its output folder.
void LogOutputFolder(const std::string& folder);
// The completion dialog opened after a saving run that wrote every file
// and read every archive.
void LogRepairCompleted();
// What a saving run could not do, counted.
struct SavingShortfallCounts {
    int filesNotWritten = 0;  // the file system refused them, or their data could not be read
    int wrongPassword = 0;    // encrypted entries the password given did not open
    int archivesNotRead = 0;
    bool destinationRefused = false;  // the destination took no files (read-only, full, gone)
};
// "3 files could not be written, 2 files left out for a wrong password,
// 1 archive could not be read, the destination cannot be written": what a
// saving run could not do, each part left out when its count is 0.
std::string SavingShortfall(const SavingShortfallCounts& counts);
std::string SavingShortfall(int filesNotWritten, int archivesNotRead);
// The completion dialog opened after a saving run that could not do all it
// was asked: one closing line that says so.
void LogRepairIncomplete(const SavingShortfallCounts& counts);
void LogRepairIncomplete(int filesNotWritten, int archivesNotRead);
// Saving met a destination that takes no files (read-only, full, gone):
// the folder and the system's reason, on a line of their own.
void LogDestinationRefused(const std::string& folder, const std::string& reason);
// The user ended the program during saving.
void LogRepairAborted();

// Save Repaired Archive begins: its heading, the archive, the new archive
// and the repair mode of its scan.
void LogRepairingStart(const std::string& archive, const std::string& output, int repairMode);
// One entry of it, on a line of its own: its 1-based number, its name, what
// the salvage made of it ("ok", "damaged", ...) and what went into the new
// archive ("copied, 12 bytes", "left out: why").
void LogRepairedEntry(int number, const std::string& name, const std::string& outcome, const std::string& result);
// Its closing line: the new archive was written (`counts` says what it
// holds), the user stopped it, or it could not be written (`problem`).
void LogRepairingWritten(const std::string& counts);
void LogRepairingStopped();
void LogRepairingNotWritten(const std::string& problem);

}  // namespace tessaly
