#include "cli/Results.h"

namespace tessaly::cli {

int ExitStatusOf(const ArchiveSummary& summary) {
    if (!summary.readable) return 2;
    const std::uint32_t bad = summary.Count(ExtractOutcome::Damaged) + summary.Count(ExtractOutcome::Truncated) +
                              summary.Count(ExtractOutcome::Encrypted) + summary.Count(ExtractOutcome::Failed);
    return bad > 0 ? 1 : 0;
}

}  // namespace tessaly::cli
