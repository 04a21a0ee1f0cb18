// What the commands found, in a form the output writers can print: one
// record per listed or extracted entry, and one summary per archive.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/ExtractReport.h"
#include "archive/FileHeader.h"
#include "archive/repair/ArchiveRepair.h"
#include "archive/salvage/SalvageDriver.h"

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
    bool carriesData = false;  // it holds bytes (or a stream) to salvage
    std::string skipReason;    // why saving would skip it; empty: it is written
    std::string unreadable;    // why its data cannot be read (encryption, method); empty: it can
};

// One entry as `extract` handled it.
struct ExtractedEntry {
    std::uint32_t index = 0;
    std::string name;
    ExtractOutcome outcome = ExtractOutcome::Failed;
    std::string detail;  // reason, for anything but ok
    std::uint64_t bytesWritten = 0;
    std::string outputPath;       // empty when nothing was written
    std::vector<ByteRange> lost;  // stretches of the file written whose bytes are not certain
    bool carriesData = false;     // it holds bytes (or a stream) to salvage
    bool interrupted = false;     // an interrupt stopped it; `outcome` is then Failed
    // repair only: what went into the new archive
    struct Repaired {
        RepairAction action = RepairAction::LeftOut;
        std::string name;  // its name there
        std::string note;  // why it was left out, or its comment
        std::uint64_t size = 0;
        std::uint64_t packedSize = 0;
    };
    std::optional<Repaired> repaired;
};

// The salvage driver's result for one entry, as the writers print it.
ExtractedEntry Printable(const SalvagedEntry& salvaged);
ExtractedEntry Printable(const RepairedEntry& repaired);

// The outcome as printed: "interrupted" for an entry an interrupt stopped.
const char* PrintedOutcome(const ExtractedEntry& entry);

constexpr std::size_t kOutcomeCount = static_cast<std::size_t>(ExtractOutcome::Limited) + 1;
constexpr std::size_t kRepairActionCount = static_cast<std::size_t>(RepairAction::LeftOut) + 1;

// What repair wrote.
struct RepairSummary {
    std::string output;    // the new archive, as given
    bool written = false;  // it is complete under that name
    std::uint32_t entries = 0;
    std::uint64_t length = 0;
    std::array<std::uint32_t, kRepairActionCount> actions{};  // by RepairAction

    std::uint32_t Count(RepairAction action) const { return actions[static_cast<std::size_t>(action)]; }
};

struct ArchiveSummary {
    std::string archive;      // as given on the command line
    std::string destination;  // extract only
    bool readable = true;     // false: nothing could be read at all
    std::string problem;      // why it is unreadable, or where the scan stopped
    std::uint32_t entries = 0;
    std::uint32_t wouldSkip = 0;                          // list only
    std::uint32_t unreadable = 0;                         // list only: encryption or method not readable
    std::array<std::uint32_t, kOutcomeCount> outcomes{};  // extract only, by ExtractOutcome
    std::uint32_t interrupted = 0;                        // extract only: entries an interrupt stopped
    std::uint32_t skippedWithData = 0;                    // left out (or to be) though they hold data
    std::uint32_t handled = 0;                            // entries gone through before an interrupt (all, without one)
    bool stopped = false;                                 // an interrupt ended the work on this archive
    std::optional<std::uint64_t> cutRecordOffset;         // the archive ends inside a record here
    std::optional<RepairSummary> repair;                  // repair only

    std::uint32_t Count(ExtractOutcome outcome) const { return outcomes[static_cast<std::size_t>(outcome)]; }
};

// 2 the archive could not be read at all (or, for repair, no repaired
// archive could be written); 1 anything that carries data was
// not (or, for list, could not be) written whole: damaged, truncated,
// limited, encrypted, failed, interrupted, left out for its name, in a method that
// cannot be read, or lost where the archive ends inside a record; 0 else.
int ExitStatusOf(const ArchiveSummary& summary);

// "the archive ends inside a record at offset N", or empty.
std::string CutRecordText(const ArchiveSummary& summary);

}  // namespace tessaly::cli
