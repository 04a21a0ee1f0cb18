// Opens one archive for the commands: the scan in the chosen repair mode,
// its progress on the terminal, and every fault turned into a
// message in the archive's summary. An archive whose scan stops at a fault
// keeps the entries found before it; only an archive that yields nothing at
// all is marked unreadable.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

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
    CZipArchive& Archive() { return archive_; }

    // The entry's header with its name as stored ("/" between folders).
    CFileHeader Entry(std::uint32_t index) const;

private:
    bool Scan(const std::filesystem::path& path, ArchiveSummary& summary);
    void JudgeEmptyResult(const std::filesystem::path& path, ArchiveSummary& summary);

    CZipArchive archive_;
    ProgressLine& progress_;
    RepairMode repairMode_;
};

}  // namespace tessaly::cli
