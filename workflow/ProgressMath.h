// The percentages the workers' bars show. A worker's run is a row of
// phases (finding the first header, the archive layer's scan, listing or
// extracting the entries), each with a fixed share of the bar; within a
// phase the bar follows the work done (bytes scanned, bytes extracted,
// entries listed). The bar never moves backwards and shows 100 only when
// the run's work is done. Inside the scan phase, a scan's own reports are
// turned into a percentage that creeps on at a fixed rate while a pass lags
// behind, and listing counts entries (capped below 100 until the last).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

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

class CProgressPlan {
public:
    // The phases' shares of the bar, in order; they add up to 100.
    CProgressPlan(std::initializer_list<int> shares);

    // A new run: the bar is back at 0.
    void Reset() { shown_ = 0; }
    // Phase `phase` has done `done` of its `total` work: the shares of the
    // phases before it and the part of its own, never less than shown
    // before, and below 100 until Finish. A total of 0 moves nothing.
    int Advance(std::size_t phase, std::uint64_t done, std::uint64_t total);
    // The work is done: 100.
    int Finish() { return shown_ = 100; }
    int Shown() const { return shown_; }

private:
    std::vector<int> shares_;
    int shown_ = 0;
};

}  // namespace tessaly
