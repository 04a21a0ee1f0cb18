#include "fuzz/SalvageTarget.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "archive/ExtractReport.h"
#include "archive/output/OutputDestination.h"
#include "archive/repair/ArchiveRepair.h"
#include "archive/salvage/SalvageDriver.h"
#include "cli/ArchiveReader.h"
#include "cli/Passwords.h"
#include "cli/Progress.h"
#include "cli/ResultWriter.h"
#include "cli/Results.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipDirectory.h"

namespace tessaly::fuzz {
namespace {

namespace fs = std::filesystem;
using cli::ArchiveSummary;
using cli::ExtractedEntry;

constexpr const char* kArchiveName = "input.zip";
constexpr const char* kQuickResults = "quick.txt";
constexpr const char* kAdvanceResults = "advance.json";
constexpr const char* kRepaired = "repaired.zip";

struct OutputLimitReached : std::runtime_error {
    OutputLimitReached() : std::runtime_error("stopped at the fuzz run's output limit") {}
};

// Counts output blocks between the blocks of each entry and stops an entry,
// or every entry left, once its share is written.
class BlockBudget {
public:
    explicit BlockBudget(const SalvageLimits& limits) : limits_(limits) {}
    void StartEntry() {
        entryBlocks_ = 0;
        stoppedEntry_ = false;
    }
    void Checkpoint() {
        ++entryBlocks_;
        ++modeBlocks_;
        if (entryBlocks_ >= limits_.blocksPerEntry || Spent()) {
            stoppedEntry_ = true;
            throw OutputLimitReached();
        }
    }
    bool Spent() const { return modeBlocks_ >= limits_.blocksPerMode; }
    // Whether the budget stopped the entry in hand.
    bool StoppedEntry() const { return stoppedEntry_; }

private:
    const SalvageLimits& limits_;
    unsigned entryBlocks_ = 0;
    unsigned modeBlocks_ = 0;
    bool stoppedEntry_ = false;
};

std::string Utf8(const fs::path& path) { return PathToUtf8(path); }

bool IsBelow(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != ".." && !relative.is_absolute();
}

// What the entry's report says against what is on disk right after it;
// empty when they agree.
std::string EntryFault(const ExtractedEntry& entry, const ExtractReport& report, const fs::path& folder) {
    // Lost ranges are in order, apart, non-empty and inside the file.
    std::uint64_t previousEnd = 0;
    for (std::size_t i = 0; i < report.lost.size(); ++i) {
        const ByteRange& range = report.lost[i];
        if (range.start >= range.end || (i > 0 && range.start <= previousEnd) || range.end > report.bytesWritten)
            return "entry " + entry.name + " reports a lost range out of order or past its file";
        previousEnd = range.end;
    }
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

// Checks each entry the salvage hands on against the disk, counts it and
// writes its result line, as the tool's extract does; the block budget
// stops an entry, or the entries left.
class CheckingObserver : public SalvageObserver {
public:
    CheckingObserver(const fs::path& folder, const SalvageLimits& limits, SalvageTally& tally, ArchiveSummary& summary,
                     cli::ResultWriter* writer)
        : folder_(folder), budget_(limits), tally_(tally), summary_(summary), writer_(writer) {}

    bool StopBefore(std::uint32_t) override {
        if (budget_.Spent()) return true;
        budget_.StartEntry();
        ++tally_.extracted;
        return false;
    }
    void BetweenBlocks(std::uint32_t) override { budget_.Checkpoint(); }
    void EntryDone(const SalvagedEntry& salvaged) override {
        const ExtractedEntry entry = cli::Printable(salvaged);
        // An entry the budget stopped is not judged: its report is the target's.
        if (budget_.StoppedEntry())
            ++tally_.stoppedAtLimit;
        else
            Note(tally_, EntryFault(entry, salvaged.report, folder_));
        tally_.bytesWritten += salvaged.report.bytesWritten;
        ++tally_.outcomes[static_cast<std::size_t>(entry.outcome)];
        CountResult(summary_, entry);
        if (writer_ != nullptr) writer_->Extracted(entry);
    }

private:
    static void CountResult(ArchiveSummary& summary, const ExtractedEntry& entry) {
        ++summary.outcomes[static_cast<std::size_t>(entry.outcome)];
        if (entry.outcome == ExtractOutcome::Skipped && entry.carriesData) ++summary.skippedWithData;
        ++summary.handled;
    }

    const fs::path& folder_;
    BlockBudget budget_;
    SalvageTally& tally_;
    ArchiveSummary& summary_;
    cli::ResultWriter* writer_;
};

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
    cli::ResultWriter& operator*() const { return *writer_; }
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
    cli::ProgressLine progress(stderr, false);
    cli::ArchiveReader reader(mode, progress);
    if (reader.Open(archive, summary) && CreateFolderTree(folder)) {
        tally.entries += summary.entries;
        OutputDestination destination(folder);
        SalvageOptions options;
        options.bufferSize = limits.bufferSize;
        options.passwords = &password;
        // The archive layer bounds each entry; the block budget bounds the
        // run as a whole (and any entry the limit lets through in large
        // blocks).
        options.limits = ExpansionLimits::UpTo(limits.bytesPerEntry);
        options.resync = mode == AdvanceRepair;  // as the tool chooses by default
        CheckingObserver observer(folder, limits, tally, summary, writer ? &*writer : nullptr);
        SalvageEntries(reader.Archive(), destination, options, observer);
    }
    if (writer) {
        writer->EndArchive(summary);
        writer->EndRun(cli::ExitStatusOf(summary));
    }
}

// Counts the repair's blocks against the same budget as a salvage's, and
// stops the whole repair once it is spent.
class RepairBudget : public RepairObserver {
public:
    explicit RepairBudget(const SalvageLimits& limits) : limits_(limits) {}
    bool StopBefore(std::uint32_t) override { return blocks_ >= limits_.blocksPerMode; }
    void BetweenBlocks(std::uint32_t) override {
        if (++blocks_ >= limits_.blocksPerMode) throw SalvageStopped{};
    }
    void EntryRepaired(const RepairedEntry& entry) override {
        if (entry.action != RepairAction::LeftOut) written.push_back(entry);
    }
    std::vector<RepairedEntry> written;

private:
    const SalvageLimits& limits_;
    unsigned blocks_ = 0;
};

// What is wrong with a repaired archive the repair said it wrote; empty
// when it is a well-formed archive holding exactly the entries reported.
std::string RepairFault(const fs::path& path, const RepairResult& result, const std::vector<RepairedEntry>& written) {
    if (!result.written) return fs::exists(path) ? "a repair that wrote nothing left " + Utf8(path) : "";
    const testzip::Bytes bytes = testzip::ReadFileBytes(path);
    if (bytes.size() != result.length) return "the repaired archive's length is not the one reported";
    const std::optional<testzip::Directory> directory = testzip::ReadDirectory(bytes);
    if (!directory) return "the repaired archive's directory cannot be read";
    if (directory->entries.size() != written.size() || result.entries != written.size())
        return "the repaired archive holds " + std::to_string(directory->entries.size()) + " entries, " +
               std::to_string(written.size()) + " were reported";
    for (std::size_t i = 0; i < written.size(); ++i) {
        const testzip::DirectoryEntry& record = directory->entries[i];
        if (record.name != written[i].name || record.compressedSize != written[i].packedSize ||
            record.uncompressedSize != written[i].size || record.dataStart + record.compressedSize > bytes.size())
            return "repaired entry " + written[i].name + " is not recorded as reported";
    }
    return {};
}

// The archive repaired in Quick Repair, as `tessaly-zip-cli repair` does,
// within the same output budget.
void RepairInQuick(const fs::path& archive, const SalvageLimits& limits, SalvageTally& tally) {
    cli::FilePassword password(kFuzzPassword);
    cli::ProgressLine progress(stderr, false);
    cli::ArchiveReader reader(QuickRepair, progress);
    ArchiveSummary summary;
    if (!reader.Open(archive, summary)) return;
    RepairOptions options;
    options.salvage.bufferSize = limits.bufferSize;
    options.salvage.passwords = &password;
    options.salvage.limits = ExpansionLimits::UpTo(limits.bytesPerEntry);
    RepairBudget budget(limits);
    const fs::path output = archive.parent_path() / kRepaired;
    const RepairResult result = RepairArchive(reader.Archive(), output, options, budget);
    Note(tally, RepairFault(output, result, budget.written));
}

// Nothing but the archive, the result files, the two destinations and the
// repaired archive, and no link anywhere.
std::string FolderFault(const fs::path& root) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(root);
        const std::string top = Utf8(*relative.begin());
        if (top != kArchiveName && top != kQuickResults && top != kAdvanceResults && top != "quick" &&
            top != "advance" && top != kRepaired)
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
        RepairInQuick(folder / kArchiveName, limits, tally);
        Note(tally, FolderFault(root));
    }
    std::error_code ec;
    tally.folderRemoved = !fs::exists(root, ec);
    if (!tally.folderRemoved) Note(tally, "the temporary folder " + Utf8(root) + " was left behind");
    return tally;
}

}  // namespace tessaly::fuzz
