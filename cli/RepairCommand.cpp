// `repair`: the archive's entries salvaged through the salvage driver into a
// new archive (archive/repair/ArchiveRepair.h), one result line per entry,
// in entry order, saying what went into the new archive. An interrupt
// stops the repair, and no repaired archive is written.
#include <algorithm>

#include "archive/repair/ArchiveRepair.h"
#include "cli/ArchiveReader.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"

namespace tessaly::cli {
namespace {

constexpr std::size_t kRepairBufferSize = 256 * 1024;

class PrintingObserver : public RepairObserver {
public:
    PrintingObserver(ArchiveSummary& summary, ResultWriter& writer, ProgressLine& progress)
        : summary_(summary), writer_(writer), progress_(progress) {}

    bool StopBefore(std::uint32_t) override { return InterruptSignal() != 0; }
    void BetweenBlocks(std::uint32_t) override { StopIfInterrupted(); }
    void EntryRepaired(const RepairedEntry& repaired) override {
        ++summary_.repair->actions[static_cast<std::size_t>(repaired.action)];
        CountAndPrint(Printable(repaired), summary_, writer_, progress_);
    }

private:
    ArchiveSummary& summary_;
    ResultWriter& writer_;
    ProgressLine& progress_;
};

void RepairEntries(ArchiveReader& reader, const CliOptions& options, PasswordSource* passwords, ArchiveSummary& summary,
                   ResultWriter& writer, ProgressLine& progress) {
    RepairOptions repair;
    repair.salvage.bufferSize = kRepairBufferSize;
    repair.salvage.passwords = passwords;
    repair.salvage.limits = options.limits;
    repair.salvage.resync = options.Resync();
    repair.partial = options.partial;
    repair.replace = options.force;
    PrintingObserver observer(summary, writer, progress);
    const RepairResult result = RepairArchive(reader.Archive(), options.output, repair, observer);
    progress.Clear();
    summary.stopped = result.stopped || InterruptSignal() != 0;
    summary.repair->written = result.written;
    summary.repair->entries = result.entries;
    summary.repair->length = result.length;
    if (!result.written && !summary.stopped) summary.problem = result.problem;
}

}  // namespace

int RunRepair(const CliOptions& options, ResultWriter& writer, ProgressLine& progress, PasswordSource* passwords) {
    const std::filesystem::path& path = options.archives.front();
    ArchiveSummary summary;
    summary.archive = PathToUtf8(path);
    summary.destination = PathToUtf8(options.output);
    summary.repair = RepairSummary{summary.destination};
    writer.BeginArchive(summary);
    // Refused before the scan, so that nobody waits for a scan to learn it.
    if (std::optional<std::string> refusal = RepairRefusal(path, options.output, options.force)) {
        summary.problem = *refusal;
    } else {
        ArchiveReader reader(options.repairMode, progress);
        if (reader.Open(path, summary)) RepairEntries(reader, options, passwords, summary, writer, progress);
    }
    writer.EndArchive(summary);
    int status = ExitStatusOf(summary);
    if (InterruptSignal() != 0) status = InterruptExitStatus(InterruptSignal());
    writer.EndRun(status);
    return status;
}

}  // namespace tessaly::cli
