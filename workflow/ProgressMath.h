// The percentages the workers' bars show: from a scan's progress reports
// (never backwards, creeping on at a fixed rate while a pass lags behind,
// capped below 100) and while entries are listed or extracted (capped below
// 100 until the last entry).
#pragma once

#include <cstdint>

namespace tessaly {

struct ReportCreep {
    int stepsPerPoint;  // lagging 100-position steps that move the bar one point
    int cap;            // the highest value a report may show
};

constexpr ReportCreep kAnalysisCreep{2000, 99};
constexpr ReportCreep kSavingCreep{4000, 98};

// The bar's next value for a report of `position` of `total` that stands for
// `steps` 100-position steps, with the bar at `current`. `creep` counts the
// lagging steps not yet turned into a point; it carries over between reports.
int ProgressFromReport(int current, std::uint64_t position, std::uint64_t total, std::uint64_t steps, int& creep,
                       const ReportCreep& rule);

// The bar after `done` of `count` entries, on top of `base` where the scan
// left it: at most `capBeforeLast` until the last entry, which shows 100
// once the sum reaches it.
int EntryProgress(std::uint32_t done, std::uint32_t count, bool last, int base, int capBeforeLast = 98);

}  // namespace tessaly
