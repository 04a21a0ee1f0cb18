#include "cli/Results.h"

namespace tessaly::cli {

const char* PrintedOutcome(const ExtractedEntry& entry) {
    return entry.interrupted ? "interrupted" : OutcomeName(entry.outcome);
}

int ExitStatusOf(const ArchiveSummary& summary) {
    if (!summary.readable) return 2;
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
