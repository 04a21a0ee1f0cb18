#include "cli/ResultWriter.h"

#include "cli/Interruption.h"
#include "platform/Interrupt.h"

namespace tessaly::cli {

const char* RepairModeName(int repairMode) { return repairMode == AdvanceRepair ? "Advance Repair" : "Quick Repair"; }

const char* RepairModeWord(int repairMode) { return repairMode == AdvanceRepair ? "advance" : "quick"; }

void AddToTotal(ArchiveSummary& total, const ArchiveSummary& archive) {
    total.entries += archive.entries;
    total.wouldSkip += archive.wouldSkip;
    total.unreadable += archive.unreadable;
    total.interrupted += archive.interrupted;
    total.skippedWithData += archive.skippedWithData;
    total.handled += archive.handled;
    if (archive.stopped) total.stopped = true;
    for (std::size_t i = 0; i < kOutcomeCount; ++i) total.outcomes[i] += archive.outcomes[i];
    if (!archive.readable) total.readable = false;
}

std::string PrintableText(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c1) {
            out += '?';
            ++i;
        } else {
            out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
        }
    }
    return out;
}

void StopIfInterrupted() {
    if (InterruptSignal() != 0) throw Interruption{};
}

void PrintArchiveProblem(std::FILE* err, const ArchiveSummary& summary) {
    if (summary.problem.empty()) return;
    std::fprintf(err, "tessaly-zip-cli: %s: %s\n", PrintableText(summary.archive).c_str(),
                 PrintableText(summary.problem).c_str());
}

}  // namespace tessaly::cli
