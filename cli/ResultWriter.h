// Printing what list and extract found, as text for people or as one JSON
// document for programs. Entry lines and summaries go to standard output;
// messages about an archive that could not be read, or whose scan stopped
// early, also go to standard error. The writers print; they decide nothing.
#pragma once

#include <cstdio>
#include <memory>

#include "cli/CommandLine.h"
#include "cli/Results.h"

namespace tessaly::cli {

class ResultWriter {
public:
    virtual ~ResultWriter() = default;

    // `archive` carries the archive's name and, for extract, its destination.
    virtual void BeginArchive(const ArchiveSummary& archive) = 0;
    virtual void Listed(const ListedEntry& entry) = 0;
    virtual void Extracted(const ExtractedEntry& entry) = 0;
    virtual void EndArchive(const ArchiveSummary& summary) = 0;
    virtual void EndRun(int exitStatus) = 0;
};

std::unique_ptr<ResultWriter> MakeTextWriter(Command command, int repairMode, std::FILE* out, std::FILE* err);
std::unique_ptr<ResultWriter> MakeJsonWriter(Command command, int repairMode, std::FILE* out, std::FILE* err);

const char* RepairModeName(int repairMode);  // "Quick Repair" / "Advance Repair"
const char* RepairModeWord(int repairMode);  // "quick" / "advance"

// Adds this archive's counts to a running total.
void AddToTotal(ArchiveSummary& total, const ArchiveSummary& archive);

// Text safe to print on a terminal: control characters (C0, DEL and C1)
// become '?', so a name cannot move the cursor or change the terminal.
std::string PrintableText(const std::string& utf8);

// "tessaly-zip-cli: a.zip: <problem>" on the error stream.
void PrintArchiveProblem(std::FILE* err, const ArchiveSummary& summary);

}  // namespace tessaly::cli
