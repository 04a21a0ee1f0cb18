#include "workflow/ProgressMath.h"

#include <algorithm>

namespace tessaly {

int ProgressFromReport(int current, std::uint64_t position, std::uint64_t total, std::uint64_t steps, int& creep,
                       const ReportCreep& rule) {
    const auto bar = static_cast<std::uint64_t>(current < 0 ? 0 : current);
    std::uint64_t percent = total == 0 ? bar : position * 100 / total;
    if (percent < bar) {
        // A later pass starts again from the beginning: hold the bar, but
        // nudge it on at a fixed rate per scanned position.
        const std::uint64_t lagging = static_cast<std::uint64_t>(creep) + steps;
        const auto perPoint = static_cast<std::uint64_t>(rule.stepsPerPoint);
        percent = bar + lagging / perPoint;
        creep = static_cast<int>(lagging % perPoint);
    }
    if (percent > static_cast<std::uint64_t>(rule.cap)) percent = static_cast<std::uint64_t>(rule.cap);
    return static_cast<int>(percent);
}

int EntryProgress(std::uint32_t done, std::uint32_t count, bool last, int base, int capBeforeLast) {
    if (count == 0) return base;
    std::uint64_t percent = std::uint64_t{done} * 100 / count + static_cast<std::uint64_t>(base < 0 ? 0 : base);
    // Before the last entry the bar stays at the cap, or where the scan left
    // it if that is higher, so it never steps back; the last entry may
    // bring it to 100.
    const auto ceiling = static_cast<std::uint64_t>(std::max(capBeforeLast, base));
    if (last)
        percent = percent >= 100 ? 100 : percent;
    else if (percent > ceiling)
        percent = ceiling;
    return static_cast<int>(percent);
}

CProgressPlan::CProgressPlan(std::initializer_list<int> shares) : shares_(shares) {}

int CProgressPlan::Advance(std::size_t phase, std::uint64_t done, std::uint64_t total) {
    if (phase >= shares_.size() || total == 0) return shown_;
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < phase; ++i) before += static_cast<std::uint64_t>(shares_[i]);
    const auto share = static_cast<std::uint64_t>(shares_[phase]);
    // done * share can overflow only past 2^57 bytes; the division keeps it exact below.
    const std::uint64_t part = std::min(done, total) * share / total;
    const int value = static_cast<int>(std::min<std::uint64_t>(99, before + part));
    shown_ = std::max(shown_, value);
    return shown_;
}

}  // namespace tessaly
