#include "fuzz/SalvageTarget.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "archive/ExtractReport.h"
#include "archive/ZipException.h"
#include "cli/ArchiveReader.h"
#include "cli/ErrorText.h"
#include "cli/Passwords.h"
#include "cli/Progress.h"
#include "cli/ResultWriter.h"
#include "cli/Results.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

namespace tessaly::fuzz {
namespace {

namespace fs = std::filesystem;
using cli::ArchiveSummary;
using cli::ExtractedEntry;

constexpr const char* kArchiveName = "input.zip";
constexpr const char* kQuickResults = "quick.txt";
constexpr const char* kAdvanceResults = "advance.json";

struct OutputLimitReached : std::runtime_error {
    OutputLimitReached() : std::runtime_error("stopped at the fuzz run's output limit") {}
};

// Counts output blocks through the extract checkpoint and stops an entry,
// or every entry left, once its share is written.
class BlockBudget {
public:
    explicit BlockBudget(const SalvageLimits& limits) : limits_(limits) {}
    void StartEntry() { entryBlocks_ = 0; }
    void Checkpoint() {
        ++entryBlocks_;
        ++modeBlocks_;
        if (entryBlocks_ >= limits_.blocksPerEntry || Spent()) throw OutputLimitReached();
    }
    bool Spent() const { return modeBlocks_ >= limits_.blocksPerMode; }

private:
    const SalvageLimits& limits_;
    unsigned entryBlocks_ = 0;
    unsigned modeBlocks_ = 0;
};

std::string Utf8(const fs::path& path) { return PathToUtf8(path); }

bool IsBelow(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != ".." && !relative.is_absolute();
}

// What the entry's report says against what is on disk right after it;
// empty when they agree.
std::string EntryFault(const ExtractedEntry& entry, const ExtractReport& report, const fs::path& folder) {
    if (report.outputPath.empty()) return {};
    if (!IsBelow(report.outputPath, folder))
        return "entry " + entry.name + " written to " + Utf8(report.outputPath) + ", outside " + Utf8(folder);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(report.outputPath, ec);
    if (fs::is_regular_file(status)) {
        const std::uintmax_t size = fs::file_size(report.outputPath, ec);
        if (!ec && size != report.bytesWritten)
            return "entry " + entry.name + " (" + OutcomeName(report.outcome) + ") reported " +
                   std::to_string(report.bytesWritten) + " bytes, its file holds " + std::to_string(size);
    } else if (fs::is_directory(status) && report.bytesWritten != 0) {
        return "folder entry " + entry.name + " reported " + std::to_string(report.bytesWritten) + " bytes";
    }
    return {};
}

void Note(SalvageTally& tally, std::string fault) {
    if (tally.fault.empty()) tally.fault = std::move(fault);
}

// The tool's handling of one entry (cli/ExtractCommand.cpp), with the
// budget's stop taken as a fault of that entry.
ExtractedEntry ExtractOne(cli::ArchiveReader& reader, std::uint32_t index, const fs::path& folder,
                          const SalvageLimits& limits, BlockBudget& budget, SalvageTally& tally) {
    ExtractedEntry entry;
    entry.index = index;
    const CFileHeader header = reader.Entry(index);
    entry.name = header.fileName;
    entry.carriesData = cli::CarriesData(header);
    ExtractReport report;
    bool limited = false;
    budget.StartEntry();
    ++tally.extracted;
    try {
        const bool done = reader.Archive().ExtractEntry(index, folder, limits.bufferSize, &report);
        if (!done) report.outcome = ExtractOutcome::Failed;
    } catch (const OutputLimitReached& stop) {
        report.outcome = ExtractOutcome::Failed;
        report.detail = stop.what();
        limited = true;
    } catch (const CZipException& fault) {
        report.outcome = ExtractOutcome::Failed;
        report.detail = cli::FaultText(fault);
    } catch (const CFileException& fault) {
        report.outcome = ExtractOutcome::Failed;
        report.detail = cli::FaultText(fault);
    } catch (const std::exception& fault) {
        report.outcome = ExtractOutcome::Failed;
        report.detail = fault.what();
    }
    entry.outcome = report.outcome;
    entry.detail = report.detail;
    entry.bytesWritten = report.bytesWritten;
    entry.outputPath = Utf8(report.outputPath);
    // An entry the budget stopped is not judged: its report is the target's.
    if (limited)
        ++tally.stoppedAtLimit;
    else
        Note(tally, EntryFault(entry, report, folder));
    tally.bytesWritten += report.bytesWritten;
    ++tally.outcomes[static_cast<std::size_t>(entry.outcome)];
    return entry;
}

void CountResult(ArchiveSummary& summary, const ExtractedEntry& entry) {
    ++summary.outcomes[static_cast<std::size_t>(entry.outcome)];
    if (entry.outcome == ExtractOutcome::Skipped && entry.carriesData) ++summary.skippedWithData;
    ++summary.handled;
}

// The result lines go to a file beside the archive: the JSON document for
// Advance Repair, the text for Quick Repair.
class Results {
public:
    Results(const fs::path& path, RepairMode mode) : file_(std::fopen(path.string().c_str(), "w")) {
        if (file_ == nullptr) return;
        writer_ = mode == AdvanceRepair ? cli::MakeJsonWriter(cli::Command::Extract, mode, file_, file_)
                                        : cli::MakeTextWriter(cli::Command::Extract, mode, file_, file_);
    }
    Results(const Results&) = delete;
    Results& operator=(const Results&) = delete;
    ~Results() {
        writer_.reset();
        if (file_ != nullptr) std::fclose(file_);
    }
    // Null when the file could not be made: the run goes on without it.
    cli::ResultWriter* operator->() const { return writer_.get(); }
    explicit operator bool() const { return writer_ != nullptr; }

private:
    std::FILE* file_;
    std::unique_ptr<cli::ResultWriter> writer_;
};

// One repair mode, from opening the archive to the summary, as the tool's
// ExtractArchive goes.
void SalvageInMode(const fs::path& archive, const fs::path& folder, RepairMode mode, const SalvageLimits& limits,
                   SalvageTally& tally) {
    const Results writer(archive.parent_path() / (mode == AdvanceRepair ? kAdvanceResults : kQuickResults), mode);
    ArchiveSummary summary;
    summary.archive = Utf8(archive);
    summary.destination = Utf8(folder);
    if (writer) writer->BeginArchive(summary);
    cli::FilePassword password(kFuzzPassword);
    BlockBudget budget(limits);
    COutputNames names;
    cli::ProgressLine progress(stderr, false);
    cli::ArchiveReader reader(mode, progress);
    reader.Archive().SetPasswordSource(&password);
    reader.Archive().SetOutputNames(&names);
    // The archive layer bounds each entry; the block budget bounds the run
    // as a whole (and any entry the limit lets through in large blocks).
    reader.Archive().SetExpansionLimits(ExpansionLimits::UpTo(limits.bytesPerEntry));
    reader.SetExtractCheckpoint([&budget] { budget.Checkpoint(); });
    if (reader.Open(archive, summary) && CreateFolderTree(folder)) {
        tally.entries += summary.entries;
        for (std::uint32_t i = 0; i < summary.entries && !budget.Spent(); ++i) {
            const ExtractedEntry entry = ExtractOne(reader, i, folder, limits, budget, tally);
            CountResult(summary, entry);
            if (writer) writer->Extracted(entry);
        }
    }
    if (writer) {
        writer->EndArchive(summary);
        writer->EndRun(cli::ExitStatusOf(summary));
    }
}

// Nothing but the archive, the result files and the two destinations, and
// no link anywhere.
std::string FolderFault(const fs::path& root) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(root);
        const std::string top = Utf8(*relative.begin());
        if (top != kArchiveName && top != kQuickResults && top != kAdvanceResults && top != "quick" && top != "advance")
            return "written outside the destinations: " + Utf8(relative);
        if (it->is_symlink(ec)) return "link made: " + Utf8(relative);
    }
    return {};
}

}  // namespace

void FailInvariant(const std::string& what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

SalvageTally SalvageBytes(const std::uint8_t* data, std::size_t size, const SalvageLimits& limits) {
    SalvageTally tally;
    fs::path root;
    {
        testzip::TempFolder folder("tessaly-fuzz-archive");
        root = folder.Path();
        testzip::WriteFileBytes(folder / kArchiveName, testzip::Bytes(data, data + size));
        SalvageInMode(folder / kArchiveName, folder / "quick", QuickRepair, limits, tally);
        SalvageInMode(folder / kArchiveName, folder / "advance", AdvanceRepair, limits, tally);
        Note(tally, FolderFault(root));
    }
    std::error_code ec;
    tally.folderRemoved = !fs::exists(root, ec);
    if (!tally.folderRemoved) Note(tally, "the temporary folder " + Utf8(root) + " was left behind");
    return tally;
}

}  // namespace tessaly::fuzz
