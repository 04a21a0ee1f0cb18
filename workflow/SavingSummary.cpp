#include "workflow/SavingSummary.h"

#include "log/LogSections.h"

namespace tessaly {

int SavingSummary::NotWritten() const {
    int count = 0;
    for (const ArchiveSavingSummary& archive : archives) count += archive.notWritten;
    return count;
}

int SavingSummary::WrongPassword() const {
    int count = 0;
    for (const ArchiveSavingSummary& archive : archives) count += archive.wrongPassword;
    return count;
}

int SavingSummary::UnreadableArchives() const {
    int count = 0;
    for (const ArchiveSavingSummary& archive : archives) count += archive.unreadable ? 1 : 0;
    return count;
}

bool SavingSummary::Succeeded() const {
    return NotWritten() == 0 && WrongPassword() == 0 && UnreadableArchives() == 0 && destinationProblem.empty();
}

namespace {

SavingShortfallCounts Shortfall(const SavingSummary& summary) {
    return {summary.NotWritten(), summary.WrongPassword(), summary.UnreadableArchives(),
            !summary.destinationProblem.empty()};
}

}  // namespace

std::string CompletionText(const SavingSummary& summary) {
    if (summary.Succeeded()) return "Saving Completed Successfully";
    std::string text = "Saving finished: " + SavingShortfall(Shortfall(summary));
    if (!summary.destinationProblem.empty()) text += " (" + summary.destinationProblem + ")";
    return text;
}

void LogCompletion(const SavingSummary& summary) {
    if (summary.Succeeded())
        LogRepairCompleted();
    else
        LogRepairIncomplete(Shortfall(summary));
}

}  // namespace tessaly
