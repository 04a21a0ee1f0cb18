// The command line of tessaly-zip-cli: which command, which repair mode,
// which output format, where to extract and which archives. Parsing only:
// nothing here opens a file or prints anything.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/ExpansionLimits.h"
#include "archive/RepairMode.h"
#include "archive/repair/ArchiveRepair.h"

namespace tessaly::cli {

enum class Command { List, Extract, Repair, Help, Version };

struct CliOptions {
    Command command = Command::Help;
    RepairMode repairMode = QuickRepair;  // Quick unless --mode advance
    std::optional<bool> resync;           // --resync / --no-resync; unset: the mode decides
    bool json = false;
    std::filesystem::path destination;               // extract only
    std::filesystem::path passwordFile;              // --password-file; empty: none given
    ExpansionLimits limits;                          // extract and repair: --max-ratio, --max-size
    std::filesystem::path output;                    // repair only: -o, the new archive
    PartialEntries partial = PartialEntries::Write;  // repair only: --partial
    bool force = false;                              // repair only: an existing output may be replaced
    std::vector<std::filesystem::path> archives;

    // Whether Deflate entries broken in their middle are searched past the
    // damage: as asked, else in Advance Repair only.
    bool Resync() const { return resync.value_or(repairMode == AdvanceRepair); }
};

struct ParseResult {
    bool ok = false;
    CliOptions options;
    std::string error;  // what was wrong, when !ok
};

// Reads the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// A count of bytes: digits, then optionally K, M, G or T (powers of 1024,
// either case). Nothing for anything else, for 0 and for a count past
// 2^64 - 1.
std::optional<std::uint64_t> ParseByteCount(const std::string& text);

std::string UsageText();
std::string VersionText();

}  // namespace tessaly::cli
