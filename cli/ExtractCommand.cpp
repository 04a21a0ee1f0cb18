// `extract`: every entry through the archive layer's ExtractEntry, one result
// line per entry, in entry order. A fault in one entry costs only that entry.
// Large archives are extracted by several threads, each with its own archive
// object over the same file (see ExtractPlan.h for what keeps that safe).
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "archive/CompressionMethods.h"
#include "archive/SkipRules.h"
#include "archive/ZipException.h"
#include "cli/ArchiveReader.h"
#include "cli/Commands.h"
#include "cli/ErrorText.h"
#include "cli/ExtractPlan.h"
#include "cli/Interruption.h"
#include "cli/OutputFolders.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"

namespace tessaly::cli {
namespace {

// Output is written in blocks of this size; large blocks keep the number of
// write calls low on big entries.
constexpr std::size_t kExtractBufferSize = 256 * 1024;

void TakeReport(ExtractedEntry& entry, const ExtractReport& report) {
    entry.outcome = report.outcome;
    entry.detail = report.detail;
    entry.bytesWritten = report.bytesWritten;
    entry.outputPath = PathToUtf8(report.outputPath);
}

// A fault raised while extracting: whatever was written stays, the entry
// counts as failed and the reason names what went wrong.
void TakeFault(ExtractedEntry& entry, const ExtractReport& report, const std::string& reason) {
    TakeReport(entry, report);
    entry.outcome = ExtractOutcome::Failed;
    entry.detail = reason;
}

// A file-system fault says what became of the output file, so that the
// report and the disk agree: the bytes written before it stay.
std::string FileFaultText(const CFileException& fault, const ExtractReport& report) {
    std::string text = FaultText(fault);
    if (report.outputPath.empty()) return text;
    if (report.bytesWritten == 0) return text + "; the file is left empty";
    return text + "; its first " + std::to_string(report.bytesWritten) + " bytes are kept";
}

ExtractedEntry ExtractOne(ArchiveReader& reader, std::uint32_t index, const std::filesystem::path& folder) {
    ExtractedEntry entry;
    entry.index = index;
    const CFileHeader header = reader.Entry(index);
    entry.name = header.fileName;
    entry.carriesData = CarriesData(header);
    ExtractReport report;
    try {
        const bool done = reader.Archive().ExtractEntry(index, folder, kExtractBufferSize, &report);
        TakeReport(entry, report);
        if (!done) {
            entry.outcome = ExtractOutcome::Failed;
            if (entry.detail.empty()) entry.detail = "could not be extracted";
        }
    } catch (const Interruption&) {
        TakeFault(entry, report, "stopped by an interrupt; what was written is kept");
        entry.interrupted = true;
    } catch (const CZipException& fault) {
        TakeFault(entry, report, FaultText(fault));
    } catch (const CFileException& fault) {
        TakeFault(entry, report, FileFaultText(fault, report));
    } catch (const std::exception& fault) {
        TakeFault(entry, report, fault.what());
    } catch (...) {
        TakeFault(entry, report, "unexpected error");
    }
    return entry;
}

// Results arrive from any thread in any order; they are counted and printed
// in entry order, as soon as every earlier one is in.
class OrderedResults {
public:
    OrderedResults(ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress)
        : summary_(summary), writer_(writer), progress_(progress) {}

    void Put(ExtractedEntry entry) {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.emplace(entry.index, std::move(entry));
        while (!waiting_.empty() && waiting_.begin()->first == next_) {
            Print(waiting_.begin()->second);
            waiting_.erase(waiting_.begin());
            ++next_;
        }
        progress_.Extracting(summary_.archive, next_, summary_.entries);
    }

    // After an interrupt: the entries done past a gap left by entries never
    // started are printed too, in order, for they were written.
    void Flush() {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& waiting : waiting_) Print(waiting.second);
        waiting_.clear();
    }

private:
    void Print(const ExtractedEntry& entry) {
        if (entry.interrupted)
            ++summary_.interrupted;
        else
            ++summary_.outcomes[static_cast<std::size_t>(entry.outcome)];
        if (entry.outcome == ExtractOutcome::Skipped && entry.carriesData) ++summary_.skippedWithData;
        ++summary_.handled;
        progress_.BeforeOutput();
        writer_.Extracted(entry);
    }

    std::mutex mutex_;
    std::map<std::uint32_t, ExtractedEntry> waiting_;
    std::uint32_t next_ = 0;
    ArchiveSummary& summary_;
    ResultWriter& writer_;
    ProgressLine& progress_;
};

// The groups of the plan, handed out one at a time to whichever thread asks.
struct SharedWork {
    const ExtractPlan& plan;
    const std::filesystem::path& folder;
    OrderedResults& results;
    std::atomic<std::size_t> nextGroup{0};
    COutputNames names;  // the files of this destination, shared by every thread
};

// An interrupt stops every thread before its next entry; the entry in hand
// stops at its next output block.
void ExtractGroups(ArchiveReader& reader, SharedWork& work) {
    reader.Archive().SetOutputNames(&work.names);
    for (std::size_t g; (g = work.nextGroup++) < work.plan.groups.size();) {
        for (std::uint32_t index : work.plan.groups[g]) {
            if (InterruptSignal() != 0) return;
            work.results.Put(ExtractOne(reader, index, work.folder));
        }
    }
}

// A helper thread opens the archive for itself with a copy of the entries
// the first scan found.
void HelpExtract(ArchiveReader& scanned, RepairMode repairMode, SharedWork& work) {
    ProgressLine quiet(stderr, false);
    ArchiveReader reader(repairMode, quiet);
    reader.Archive().SetPasswordSource(scanned.Archive().GetPasswordSource());
    reader.Archive().SetExpansionLimits(scanned.Archive().GetExpansionLimits());
    if (reader.OpenCopyOf(scanned)) ExtractGroups(reader, work);
}

// The password is asked for before any entry is extracted, when the scan
// found an entry that needs it: a prompt then never meets a progress line
// or result lines being printed by other threads.
void AskPasswordFirst(ArchiveReader& reader, const ArchiveSummary& summary, ProgressLine& progress) {
    PasswordSource* passwords = reader.Archive().GetPasswordSource();
    if (passwords == nullptr) return;
    for (std::uint32_t i = 0; i < summary.entries; ++i) {
        const CFileHeader entry = reader.Entry(i);
        if (!PasswordOpens(entry) || ExtractSkipVerdict(entry, true) || IsEmptyFile(entry)) continue;
        progress.Clear();
        passwords->PasswordFor(reader.Archive().storage.Path(), entry.fileName);
        return;
    }
}

void ExtractEntries(ArchiveReader& reader, RepairMode repairMode, const std::filesystem::path& folder,
                    ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress) {
    AskPasswordFirst(reader, summary, progress);
    const bool passwordsAsked = reader.Archive().GetPasswordSource() != nullptr;
    std::vector<std::string> names;  // empty for the entries extract skips
    for (std::uint32_t i = 0; i < summary.entries; ++i) {
        const CFileHeader entry = reader.Entry(i);
        names.push_back(ExtractSkipVerdict(entry, passwordsAsked) ? std::string() : entry.fileName);
    }
    const ExtractPlan plan = PlanExtraction(names, ExtractThreads(summary.entries));
    OrderedResults results(summary, writer, progress);
    SharedWork work{plan, folder, results, {0}, {}};
    std::vector<std::thread> helpers;
    try {
        for (unsigned t = 1; t < plan.threads; ++t)
            helpers.emplace_back(HelpExtract, std::ref(reader), repairMode, std::ref(work));
    } catch (const std::system_error&) {
        // No more threads to be had: the ones running share the work.
    }
    ExtractGroups(reader, work);
    for (std::thread& helper : helpers) helper.join();
    results.Flush();
    if (InterruptSignal() != 0) summary.stopped = true;
    progress.Clear();
}

ArchiveSummary ExtractArchive(const std::filesystem::path& path, const std::filesystem::path& folder,
                              const CliOptions& options, ResultWriter& writer, ProgressLine& progress,
                              PasswordSource* passwords) {
    const RepairMode repairMode = options.repairMode;
    ArchiveSummary summary;
    summary.archive = PathToUtf8(path);
    summary.destination = PathToUtf8(folder);
    writer.BeginArchive(summary);
    ArchiveReader reader(repairMode, progress);
    reader.Archive().SetPasswordSource(passwords);
    reader.Archive().SetExpansionLimits(options.limits);
    if (reader.Open(path, summary)) {
        if (CreateFolderTree(folder)) {
            ExtractEntries(reader, repairMode, folder, summary, writer, progress);
        } else {
            summary.readable = false;
            summary.problem = "cannot create the destination folder " + summary.destination;
        }
    }
    writer.EndArchive(summary);
    return summary;
}

}  // namespace

int RunExtract(const CliOptions& options, ResultWriter& writer, ProgressLine& progress, PasswordSource* passwords) {
    const auto folders = OutputFolders(options.destination, options.archives);
    int status = 0;
    for (std::size_t i = 0; i < options.archives.size() && InterruptSignal() == 0; ++i) {
        const ArchiveSummary summary =
            ExtractArchive(options.archives[i], folders[i], options, writer, progress, passwords);
        status = std::max(status, ExitStatusOf(summary));
    }
    if (InterruptSignal() != 0) status = InterruptExitStatus(InterruptSignal());
    writer.EndRun(status);
    return status;
}

}  // namespace tessaly::cli
