#include "cli/Results.h"

#include "platform/FileSystem.h"

namespace tessaly::cli {

ExtractedEntry Printable(const SalvagedEntry& salvaged) {
    ExtractedEntry entry;
    entry.index = salvaged.index;
    entry.name = salvaged.name;
    entry.carriesData = salvaged.carriesData;
    entry.outcome = salvaged.report.outcome;
    entry.detail = salvaged.report.detail;
    entry.bytesWritten = salvaged.report.bytesWritten;
    entry.lost = salvaged.report.lost;
    entry.outputPath = PathToUtf8(salvaged.report.outputPath);
    entry.interrupted = salvaged.interrupted;
    return entry;
}

ExtractedEntry Printable(const RepairedEntry& repaired) {
    ExtractedEntry entry = Printable(repaired.salvaged);
    entry.outputPath.clear();
    entry.repaired =
        ExtractedEntry::Repaired{repaired.action, repaired.name, repaired.note, repaired.size, repaired.packedSize};
    return entry;
}

const char* PrintedOutcome(const ExtractedEntry& entry) {
    return entry.interrupted ? "interrupted" : OutcomeName(entry.outcome);
}

int ExitStatusOf(const ArchiveSummary& summary) {
    if (!summary.readable || (summary.repair && !summary.repair->written && !summary.stopped)) return 2;
    const std::uint32_t bad = summary.Count(ExtractOutcome::Damaged) + summary.Count(ExtractOutcome::Truncated) +
                              summary.Count(ExtractOutcome::Limited) + summary.Count(ExtractOutcome::Encrypted) +
                              summary.Count(ExtractOutcome::Failed) + summary.interrupted + summary.skippedWithData +
                              summary.unreadable;
    return bad > 0 || summary.cutRecordOffset || summary.stopped ? 1 : 0;
}

std::string CutRecordText(const ArchiveSummary& summary) {
    if (!summary.cutRecordOffset) return {};
    return "the archive ends inside a record at offset " + std::to_string(*summary.cutRecordOffset);
}

}  // namespace tessaly::cli
