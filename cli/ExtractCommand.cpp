// `extract`: every entry salvaged through the archive layer's salvage
// driver, one result line per entry, in entry order. Large archives are
// extracted by several threads (see archive/salvage/ExtractPlan.h for what keeps
// that safe); an interrupt stops every thread before its next entry.
#include <algorithm>

#include "archive/output/OutputDestination.h"
#include "archive/salvage/ExtractPlan.h"
#include "archive/salvage/SalvageDriver.h"
#include "cli/ArchiveReader.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/OutputFolders.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"

namespace tessaly::cli {
namespace {

// Output is written in blocks of this size; large blocks keep the number of
// write calls low on big entries.
constexpr std::size_t kExtractBufferSize = 256 * 1024;

// Counts and prints each entry as the driver hands it on, and stops at an
// interrupt: between entries, and between the blocks of a long one.
class PrintingObserver : public SalvageObserver {
public:
    PrintingObserver(ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress)
        : summary_(summary), writer_(writer), progress_(progress) {}

    bool StopBefore(std::uint32_t) override { return InterruptSignal() != 0; }
    void BetweenBlocks(std::uint32_t) override { StopIfInterrupted(); }
    void EntryDone(const SalvagedEntry& salvaged) override {
        CountAndPrint(Printable(salvaged), summary_, writer_, progress_);
    }

private:
    ArchiveSummary& summary_;
    ResultWriter& writer_;
    ProgressLine& progress_;
};

void ExtractEntries(ArchiveReader& reader, const std::filesystem::path& folder, const CliOptions& options,
                    PasswordSource* passwords, ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress) {
    OutputDestination destination(folder);
    SalvageOptions salvage;
    salvage.bufferSize = kExtractBufferSize;
    salvage.threads = ExtractThreads(summary.entries);
    salvage.passwords = passwords;
    salvage.limits = options.limits;
    salvage.resync = options.Resync();
    PrintingObserver observer(summary, writer, progress);
    if (SalvageEntries(reader.Archive(), destination, salvage, observer).stopped || InterruptSignal() != 0)
        summary.stopped = true;
    progress.Clear();
}

ArchiveSummary ExtractArchive(const std::filesystem::path& path, const std::filesystem::path& folder,
                              const CliOptions& options, ResultWriter& writer, ProgressLine& progress,
                              PasswordSource* passwords) {
    ArchiveSummary summary;
    summary.archive = PathToUtf8(path);
    summary.destination = PathToUtf8(folder);
    writer.BeginArchive(summary);
    ArchiveReader reader(options.repairMode, progress);
    if (reader.Open(path, summary)) {
        if (CreateFolderTree(folder)) {
            ExtractEntries(reader, folder, options, passwords, summary, writer, progress);
        } else {
            summary.readable = false;
            summary.problem = "cannot create the destination folder " + summary.destination;
        }
    }
    writer.EndArchive(summary);
    return summary;
}

}  // namespace

void CountAndPrint(const ExtractedEntry& entry, ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress) {
    if (entry.interrupted)
        ++summary.interrupted;
    else
        ++summary.outcomes[static_cast<std::size_t>(entry.outcome)];
    if (entry.outcome == ExtractOutcome::Skipped && entry.carriesData) ++summary.skippedWithData;
    ++summary.handled;
    progress.BeforeOutput();
    writer.Extracted(entry);
    progress.Extracting(summary.archive, summary.handled, summary.entries);
}

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
