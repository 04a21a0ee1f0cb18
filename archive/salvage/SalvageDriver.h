// The one road from an opened archive to a destination: each selected
// entry extracted by CZipArchive::ExtractEntry into an EntrySink (a
// folder's OutputDestination, or the scratch file of a repair), by several
// threads where that pays (each with its own archive object over the same
// file), a fault costing only its entry, and every entry's result handed to
// an observer in entry order. The
// command-line tool prints what it is handed; the desktop program counts,
// shows and logs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ExpansionLimits.h"
#include "archive/ExtractReport.h"

namespace tessaly {

class CZipArchive;
class EntrySink;
class PasswordSource;

// Thrown by a checkpoint or an observer to stop the salvage: the entry in
// hand keeps what was written and is reported as stopped; no entry starts
// after it. It is no std::exception, so no handler meant for faults takes it.
struct SalvageStopped {};

struct SalvageOptions {
    std::size_t bufferSize = 256 * 1024;  // output block size
    unsigned threads = 1;                 // the most to use (ExtractThreads gives what pays)
    PasswordSource* passwords = nullptr;  // none: encrypted entries are left out
    ExpansionLimits limits{};
    // Deflate entries broken in their middle are searched past the damage
    // (CZipArchive::SetResync).
    bool resync = false;
    std::vector<std::uint32_t> selection;  // the entries to salvage, in order; empty: every entry
    // Every entry's result kept in SalvageResult::entries too. The observer
    // is handed each one anyway; without them, memory stays flat however
    // many entries the archive has.
    bool keepEntries = false;
};

struct SalvagedEntry {
    std::uint32_t index = 0;
    std::string name;          // as stored, "/" between folders
    bool carriesData = false;  // it holds bytes (or a stream) to salvage
    ExtractReport report;      // verdict, reason, bytes on disk, the path written
    bool interrupted = false;  // a stop ended it; the outcome is then Failed
    bool raised = false;       // a fault was raised on the way (the detail names it); the outcome is then Failed
    // For a file-system fault: the path it names and the system's error.
    std::filesystem::path faultPath;
    int faultOsError = 0;
};

struct SalvageResult {
    // In entry order, when kept; entries a stop kept from starting are missing.
    std::vector<SalvagedEntry> entries;
    bool stopped = false;
};

class SalvageObserver {
public:
    virtual ~SalvageObserver() = default;
    // Asked before entry `index` starts, on the thread that will extract it:
    // true stops the salvage there.
    virtual bool StopBefore(std::uint32_t /*index*/) { return false; }
    // Between blocks of an entry's output, on the thread extracting it: it
    // may wait (a pause), throw SalvageStopped, or throw anything else to
    // end that entry alone as failed.
    virtual void BetweenBlocks(std::uint32_t /*index*/) {}
    // Each entry's result, in entry order, one at a time, from any thread.
    virtual void EntryDone(const SalvagedEntry& /*entry*/) {}
};

// Salvages `options.selection` (every entry when empty) of the open
// `archive` into `destination`, which several threads may share. `archive` gets the options' password
// source and limits; helper threads open archive objects of their own with
// a copy of its entry table.
SalvageResult SalvageEntries(CZipArchive& archive, EntrySink& destination, const SalvageOptions& options,
                             SalvageObserver& observer);

}  // namespace tessaly
