// The text output: a header per archive, one line per entry, a summary line
// per archive and, for several archives, a total line.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "cli/ResultWriter.h"

namespace tessaly::cli {
namespace {

constexpr ExtractOutcome kOutcomeOrder[] = {
    ExtractOutcome::Ok,      ExtractOutcome::Damaged,   ExtractOutcome::Truncated, ExtractOutcome::Limited,
    ExtractOutcome::Skipped, ExtractOutcome::Encrypted, ExtractOutcome::Failed,
};
static_assert(std::size(kOutcomeOrder) == kOutcomeCount, "every outcome has its place in the summary");

// "3 ok, 1 damaged": the outcomes that occurred, in a fixed order.
std::string OutcomeCounts(const ArchiveSummary& summary) {
    std::string text;
    for (ExtractOutcome outcome : kOutcomeOrder) {
        const std::uint32_t n = summary.Count(outcome);
        if (n == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(n) + " " + OutcomeName(outcome);
    }
    return text;
}

constexpr RepairAction kActionOrder[] = {RepairAction::Copied, RepairAction::CopiedUnverified,
                                         RepairAction::Recompressed, RepairAction::Partial};

// "  -> partial, 1234 bytes": what went into the repaired archive.
std::string RepairedText(const ExtractedEntry& e) {
    const ExtractedEntry::Repaired& r = *e.repaired;
    std::string text = std::string("  -> ") + RepairActionName(r.action);
    if (r.action == RepairAction::Partial) text += ", " + std::to_string(r.size) + " bytes";
    if (r.action == RepairAction::LeftOut && !r.note.empty() && r.note != e.detail)
        text += ": " + PrintableText(r.note);
    if (r.action != RepairAction::LeftOut && r.name != e.name) text += " as " + PrintableText(r.name);
    return text;
}

std::string EntriesText(std::uint32_t n);

// "repaired archive: 5 entries (4 copied, 1 partial), 1 left out".
std::string RepairText(const RepairSummary& r) {
    if (!r.written) return "no repaired archive written";
    std::string counts;
    for (RepairAction action : kActionOrder) {
        if (r.Count(action) == 0) continue;
        if (!counts.empty()) counts += ", ";
        counts += std::to_string(r.Count(action)) + " " + RepairActionName(action);
    }
    std::string text = "repaired archive: " + EntriesText(r.entries);
    if (!counts.empty()) text += " (" + counts + ")";
    if (r.Count(RepairAction::LeftOut) > 0) text += ", " + std::to_string(r.Count(RepairAction::LeftOut)) + " left out";
    return text;
}

std::string EntriesText(std::uint32_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); }

class TextWriter : public ResultWriter {
public:
    TextWriter(Command command, int repairMode, std::FILE* out, std::FILE* err)
        : command_(command), repairMode_(repairMode), out_(out), err_(err) {}

    void BeginArchive(const ArchiveSummary& archive) override {
        headerShown_ = false;
        std::string line = PrintableText(archive.archive);
        if (command_ != Command::List) line += " -> " + PrintableText(archive.destination);
        std::fprintf(out_, "%s%s  (%s)\n", archives_ > 0 ? "\n" : "", line.c_str(), RepairModeName(repairMode_));
        ++archives_;
    }

    void Listed(const ListedEntry& e) override {
        if (!headerShown_) {
            std::fprintf(out_, "  %-12s  %-12s  %5s  %-21s  %10s  %s\n", "Size", "Packed", "Ratio", "Modified",
                         "CRC-32", "Name");
            headerShown_ = true;
        }
        const std::string note = !e.skipReason.empty()   ? "  [saving would skip it: " + e.skipReason + "]"
                                 : !e.unreadable.empty() ? "  [cannot be read: " + e.unreadable + "]"
                                 : e.encrypted           ? "  [encrypted: saving decrypts it with the password]"
                                                         : "";
        std::fprintf(out_, "  %-12s  %-12s  %5s  %-21s  %10lu  %s%s\n", e.sizeText.c_str(), e.packedSizeText.c_str(),
                     e.ratio.c_str(), e.modifiedTime.c_str(), static_cast<unsigned long>(e.crc32),
                     PrintableText(e.name).c_str(), note.c_str());
    }

    void Extracted(const ExtractedEntry& e) override {
        std::string detail = e.detail.empty() ? "" : "  (" + PrintableText(e.detail) + ")";
        std::fprintf(out_, "  %-11s  %s%s%s\n", PrintedOutcome(e), PrintableText(e.name).c_str(), detail.c_str(),
                     e.repaired ? RepairedText(e).c_str() : "");
    }

    void EndArchive(const ArchiveSummary& s) override {
        AddToTotal(total_, s);
        PrintArchiveProblem(err_, s);
        if (!s.readable) return;
        std::fprintf(out_, "%s: %s\n", PrintableText(s.archive).c_str(), SummaryText(s).c_str());
    }

    void EndRun(int /*exitStatus*/) override {
        if (archives_ > 1) std::fprintf(out_, "\nTotal: %u archives, %s\n", archives_, SummaryText(total_).c_str());
        std::fflush(out_);
    }

private:
    std::string SummaryText(const ArchiveSummary& s) const {
        std::string text = EntriesText(s.entries);
        if (command_ == Command::List) {
            if (s.wouldSkip > 0) text += ", saving would skip " + std::to_string(s.wouldSkip);
            if (s.unreadable > 0) text += ", " + std::to_string(s.unreadable) + " cannot be read";
        } else {
            const std::string counts = OutcomeCounts(s);
            if (!counts.empty()) text += ": " + counts;
            if (s.interrupted > 0) text += ", " + std::to_string(s.interrupted) + " interrupted";
        }
        if (s.repair) text += "; " + RepairText(*s.repair);
        for (const std::string& note : Notes(s)) text += "; " + note;
        return text;
    }

    // What the counts alone do not tell: data left out, data lost where the
    // archive ends inside a record, work an interrupt cut short.
    std::vector<std::string> Notes(const ArchiveSummary& s) const {
        std::vector<std::string> notes;
        if (s.skippedWithData > 0) {
            const bool one = s.skippedWithData == 1;
            notes.push_back(std::to_string(s.skippedWithData) + (one ? " entry" : " entries") + " with data " +
                            (command_ == Command::List ? "would be"
                             : one                     ? "was"
                                                       : "were") +
                            " left out");
        }
        if (s.cutRecordOffset) notes.push_back(CutRecordText(s));
        if (s.stopped) {
            const std::uint32_t left = s.entries - std::min(s.handled, s.entries);
            notes.push_back(left > 0 ? "interrupted: " + std::to_string(left) + " not reached" : "interrupted");
        }
        return notes;
    }

    Command command_;
    int repairMode_;
    std::FILE* out_;
    std::FILE* err_;
    unsigned archives_ = 0;
    bool headerShown_ = false;
    ArchiveSummary total_;
};

}  // namespace

std::unique_ptr<ResultWriter> MakeTextWriter(Command command, int repairMode, std::FILE* out, std::FILE* err) {
    return std::make_unique<TextWriter>(command, repairMode, out, err);
}

}  // namespace tessaly::cli
