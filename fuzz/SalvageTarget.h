// The archive fuzz target's work: a byte string written to a file in a
// temporary folder of its own, opened in Quick and in Advance Repair and
// salvaged the way `tessaly-zip-cli extract` does (its ArchiveReader, the
// archive layer's salvage driver into one output destination, a result
// writer), and repaired in Quick Repair as `tessaly-zip-cli repair` does,
// then the folder removed. On the way it checks that nothing is written
// outside the destination, no link is made, every byte count reported
// equals the file on disk, and a repaired archive is well formed and holds
// exactly the entries reported.
//
// It is single-threaded (the tool shares large archives among threads; the
// entries come out the same) and bounds what each entry may write, so that
// a small input cannot fill the disk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/Results.h"

namespace tessaly::fuzz {

// The password the target offers for encrypted entries; the seeds encrypt
// with it.
constexpr const char* kFuzzPassword = "fuzz";

struct SalvageLimits {
    std::size_t bufferSize = 64 * 1024;  // output block, as the tool's extract passes it
    // Output blocks one entry may write before it is stopped, and blocks
    // one repair mode may write in all before the entries left are passed
    // over. A block is at most 1 MiB (entries written in the background).
    unsigned blocksPerEntry = 4;
    unsigned blocksPerMode = 32;
    // What one entry may expand to: the archive layer stops it there, as
    // the tool does at its own (far larger) limits; below the blocks one
    // entry may write, so that the limit, not the budget, stops an entry.
    std::uint64_t bytesPerEntry = 128 * 1024;
};

struct SalvageTally {
    std::uint32_t entries = 0;                                 // found, both modes together
    std::uint32_t extracted = 0;                               // entries started
    std::uint32_t stoppedAtLimit = 0;                          // entries the block limit stopped
    std::uint64_t bytesWritten = 0;                            // as reported
    std::array<std::uint32_t, cli::kOutcomeCount> outcomes{};  // by ExtractOutcome
    bool folderRemoved = false;                                // the temporary folder is gone again
    std::string fault;                                         // the first broken rule; empty when none was
};

SalvageTally SalvageBytes(const std::uint8_t* data, std::size_t size, const SalvageLimits& limits = {});

// Reports a broken rule on standard error and aborts, so that the fuzzer
// keeps the input. The targets call it with a fault the harness found.
[[noreturn]] void FailInvariant(const std::string& what);

}  // namespace tessaly::fuzz
