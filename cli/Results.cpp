#include "cli/Results.h"

namespace tessaly::cli {

const char* OutcomeWord(ExtractOutcome outcome) {
    switch (outcome) {
    case ExtractOutcome::Ok: return "ok";
    case ExtractOutcome::Damaged: return "damaged";
    case ExtractOutcome::Truncated: return "truncated";
    case ExtractOutcome::Skipped: return "skipped";
    case ExtractOutcome::Encrypted: return "encrypted";
    case ExtractOutcome::Failed: return "failed";
    }
    return "failed";
}

int ExitStatusOf(const ArchiveSummary& summary) {
    if (!summary.readable) return 2;
    const std::uint32_t bad = summary.Count(ExtractOutcome::Damaged) +
                              summary.Count(ExtractOutcome::Truncated) +
                              summary.Count(ExtractOutcome::Encrypted) +
                              summary.Count(ExtractOutcome::Failed);
    return bad > 0 ? 1 : 0;
}

}  // namespace tessaly::cli
