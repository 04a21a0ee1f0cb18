#include "workflow/SavingSummary.h"

#include "log/LogSections.h"

namespace tessaly {

int SavingSummary::NotWritten() const {
    int count = 0;
    for (const ArchiveSavingSummary& archive : archives) count += archive.notWritten;
    return count;
}

int SavingSummary::UnreadableArchives() const {
    int count = 0;
    for (const ArchiveSavingSummary& archive : archives) count += archive.unreadable ? 1 : 0;
    return count;
}

bool SavingSummary::Succeeded() const { return NotWritten() == 0 && UnreadableArchives() == 0; }

std::string CompletionText(const SavingSummary& summary) {
    if (summary.Succeeded()) return "Saving Completed Successfully";
    return "Saving finished: " + SavingShortfall(summary.NotWritten(), summary.UnreadableArchives());
}

void LogCompletion(const SavingSummary& summary) {
    if (summary.Succeeded())
        LogRepairCompleted();
    else
        LogRepairIncomplete(summary.NotWritten(), summary.UnreadableArchives());
}

}  // namespace tessaly
