// Opens one archive for the commands: its own scan state in the chosen
// repair mode, scan progress on the terminal, and every fault turned into a
// message in the archive's summary. An archive whose scan stops at a fault
// keeps the entries found before it; only an archive that yields nothing at
// all is marked unreadable.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "cli/Progress.h"
#include "cli/Results.h"

namespace tessaly::cli {

class ArchiveReader {
public:
    ArchiveReader(RepairMode repairMode, ProgressLine& progress);

    // Runs the salvage scan. Fills `summary.readable`, `problem` and
    // `entries`; returns whether there are entries to go through.
    bool Open(const std::filesystem::path& path, ArchiveSummary& summary);
    // Opens the archive `scanned` has open with a copy of its entries, for a
    // second thread extracting the same archive; no scan runs again.
    bool OpenCopyOf(ArchiveReader& scanned);

    CZipArchive& Archive() { return archive_; }

    // What extraction calls between blocks of output: by default it stops
    // the entry at an interrupt. A caller with limits of its own (the fuzz
    // target's output budget) puts its hook in that place.
    void SetExtractCheckpoint(std::function<void()> checkpoint) { state_.extractCheckpoint = std::move(checkpoint); }

    // The entry's header with its name as stored ("/" between folders).
    CFileHeader Entry(std::uint32_t index) const;

private:
    bool Scan(const std::filesystem::path& path, ArchiveSummary& summary);
    void JudgeEmptyResult(const std::filesystem::path& path, ArchiveSummary& summary);

    ScanState state_;
    CZipArchive archive_;
    ProgressLine& progress_;
    RepairMode repairMode_;
};

}  // namespace tessaly::cli
