// What saving a repaired archive came to: the archive, the new archive,
// whether it was written (and what it holds, entry by entry as the repair
// placed them), stopped by the user, or why it could not be written. The
// log's lines and the message the preview shows at the end are worded from
// it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "archive/repair/ArchiveRepair.h"
#include "workflow/Message.h"

namespace tessaly {

struct RepairingSummary {
    std::string archive;  // UTF-8, as everywhere in the workflow
    std::string output;
    bool written = false;          // the new archive is complete under `output`
    bool stopped = false;          // the user stopped it; nothing was written
    std::string problem;           // why nothing was written, when it was neither written nor stopped
    std::uint32_t entries = 0;     // in the new archive
    std::uint64_t length = 0;      // of the new archive, in bytes
    std::array<int, 5> actions{};  // entries handled, by RepairAction

    int Count(RepairAction action) const { return actions[static_cast<std::size_t>(action)]; }
    void Add(RepairAction action) { ++actions[static_cast<std::size_t>(action)]; }
};

// What went into the new archive for one entry: "copied, 12 bytes",
// "partial, 300 bytes", "recompressed as b/c.txt, 5 bytes", "left out: why".
std::string RepairedEntryText(const RepairedEntry& entry);
// "3 entries (2 copied, 1 partial), 1 left out": what the new archive holds.
std::string RepairedCountsText(const RepairingSummary& summary);
// The message the preview shows when the run is over: the new archive's
// path and what it holds, that the user stopped it, or why it could not be
// written.
Message RepairingEndMessage(const RepairingSummary& summary);
// The log's closing line, in the same terms.
void LogRepairingEnd(const RepairingSummary& summary);

}  // namespace tessaly
