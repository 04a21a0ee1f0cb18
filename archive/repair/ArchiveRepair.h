// A repaired archive: every entry the salvage finds written, in its order,
// into a new ZIP archive that any reader opens.
//   - An entry read whole, its CRC-32 matching, is copied verbatim: its
//     stored bytes unchanged under fresh records with the true sizes.
//   - An encrypted entry whose password was not given (or does not open it)
//     is copied verbatim, unverified, when its records say exactly where
//     its data lies; otherwise it is left out.
//   - A partial entry (damaged, truncated, stopped at a limit) is written
//     as the bytes salvaged, compressed afresh with Deflate, with an entry
//     comment saying so; or left out, when asked.
// The entries go through the salvage driver like an extraction, each one
// decoded into a scratch file beside the output. The new archive is made
// under a temporary name beside the output and takes the output's name
// only when it is complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/salvage/SalvageDriver.h"

namespace tessaly {

class CZipArchive;

enum class PartialEntries { Write, Omit };

enum class RepairAction {
    Copied,            // verbatim, checked
    CopiedUnverified,  // verbatim, encrypted and not checked
    Recompressed,      // whole, but its stored bytes could not be copied as they are
    Partial,           // the salvaged part, compressed afresh, with a comment
    LeftOut,           // not in the new archive (`note` says why)
};

// "copied", "copied unverified", "recompressed", "partial", "left out".
const char* RepairActionName(RepairAction action);

struct RepairOptions {
    SalvageOptions salvage;  // its thread count is not used: entries are written in order by one thread
    PartialEntries partial = PartialEntries::Write;
    bool replace = false;  // an existing file of the output's name may be replaced
};

struct RepairedEntry {
    // As an extraction reports it, without an output path; for a verbatim
    // copy, `report.storedData` says which bytes of the archive it copied.
    SalvagedEntry salvaged;
    RepairAction action = RepairAction::LeftOut;
    std::string name;              // its name in the new archive
    std::string note;              // why it was left out, or the comment a partial entry carries
    std::uint64_t size = 0;        // bytes it holds in the new archive
    std::uint64_t packedSize = 0;  // its stored bytes there
};

struct RepairResult {
    bool written = false;  // the new archive is complete, under the output's name
    bool stopped = false;  // a stop ended the repair; nothing was written
    std::string problem;   // why nothing was written, when nothing was
    std::uint32_t entries = 0;
    std::uint64_t length = 0;  // of the new archive
};

class RepairObserver {
public:
    virtual ~RepairObserver() = default;
    // As SalvageObserver's: a stop before an entry, and between blocks of
    // reading it or writing it into the new archive.
    virtual bool StopBefore(std::uint32_t /*index*/) { return false; }
    virtual void BetweenBlocks(std::uint32_t /*index*/) {}
    // Each entry once it is in the new archive (or left out), in order.
    virtual void EntryRepaired(const RepairedEntry& /*entry*/) {}
};

// Why the repair of `archive` into `output` must not start: the output is
// the archive itself (by any path), a folder, or an existing file not to
// be replaced. Nothing when it may.
std::optional<std::string> RepairRefusal(const std::filesystem::path& archive, const std::filesystem::path& output,
                                         bool replace);

// Repairs the open `archive` into `output`, its folder made when missing.
RepairResult RepairArchive(CZipArchive& archive, const std::filesystem::path& output, const RepairOptions& options,
                           RepairObserver& observer);

}  // namespace tessaly
