// What the commands found, in a form the output writers can print: one
// record per listed or extracted entry, and one summary per archive.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/ExtractReport.h"

namespace tessaly::cli {

// One entry as `list` shows it. The texts are the preview's columns.
struct ListedEntry {
    std::uint32_t index = 0;
    std::string name;  // as stored, "/" between folders
    std::uint64_t size = 0;
    std::uint64_t packedSize = 0;
    std::string sizeText;
    std::string packedSizeText;
    std::string ratio;
    std::string modifiedTime;
    std::uint32_t crc32 = 0;
    std::uint16_t method = 0;
    bool encrypted = false;
    std::string skipReason;  // why extracting would skip it; empty: it is written
};

// One entry as `extract` handled it.
struct ExtractedEntry {
    std::uint32_t index = 0;
    std::string name;
    ExtractOutcome outcome = ExtractOutcome::Failed;
    std::string detail;  // reason, for anything but ok
    std::uint64_t bytesWritten = 0;
    std::string outputPath;  // empty when nothing was written
};

constexpr std::size_t kOutcomeCount = 6;

struct ArchiveSummary {
    std::string archive;      // as given on the command line
    std::string destination;  // extract only
    bool readable = true;     // false: nothing could be read at all
    std::string problem;      // why it is unreadable, or where the scan stopped
    std::uint32_t entries = 0;
    std::uint32_t wouldSkip = 0;                          // list only
    std::array<std::uint32_t, kOutcomeCount> outcomes{};  // extract only, by ExtractOutcome

    std::uint32_t Count(ExtractOutcome outcome) const { return outcomes[static_cast<std::size_t>(outcome)]; }
};

// 0 all ok (skipped junk included), 1 something damaged, truncated,
// encrypted or failed, 2 the archive could not be read at all.
int ExitStatusOf(const ArchiveSummary& summary);

}  // namespace tessaly::cli
