#include "workflow/RepairingSummary.h"

#include "core/Settings.h"
#include "log/LogSections.h"

namespace tessaly {
namespace {

// The kinds of entry the new archive holds, in the order the counts name them.
constexpr RepairAction kWrittenActions[] = {RepairAction::Copied, RepairAction::CopiedUnverified,
                                            RepairAction::Recompressed, RepairAction::Partial};

std::string CountOf(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string RepairedEntryText(const RepairedEntry& entry) {
    std::string text = RepairActionName(entry.action);
    if (entry.action == RepairAction::LeftOut) return entry.note.empty() ? text : text + ": " + entry.note;
    if (entry.name != entry.salvaged.name) text += " as " + entry.name;
    return text + ", " + CountOf(entry.size, "byte", "bytes");
}

std::string RepairedCountsText(const RepairingSummary& summary) {
    std::string kinds;
    for (RepairAction action : kWrittenActions) {
        if (summary.Count(action) == 0) continue;
        kinds += (kinds.empty() ? "" : ", ") + std::to_string(summary.Count(action)) + " " + RepairActionName(action);
    }
    std::string text = CountOf(summary.entries, "entry", "entries");
    if (!kinds.empty()) text += " (" + kinds + ")";
    const int leftOut = summary.Count(RepairAction::LeftOut);
    if (leftOut > 0) text += ", " + std::to_string(leftOut) + " left out";
    return text;
}

Message RepairingEndMessage(const RepairingSummary& summary) {
    if (summary.written)
        return {"Repaired archive saved:\n" + summary.output + "\n\n" + RepairedCountsText(summary) + ".", AppTitle,
                MessageIcon::Information, MessageButtons::Ok, true};
    if (summary.stopped) return Notice("Saving the repaired archive stopped by user. Nothing was saved.", AppTitle);
    return Warning("The repaired archive could not be saved: " + summary.problem + ".", AppTitle);
}

void LogRepairingEnd(const RepairingSummary& summary) {
    if (summary.written)
        LogRepairingWritten(RepairedCountsText(summary));
    else if (summary.stopped)
        LogRepairingStopped();
    else
        LogRepairingNotWritten(summary.problem);
}

}  // namespace tessaly
