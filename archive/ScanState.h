// The scan state the archive reader shares with the repair workflow: the
// progress switches and hooks, and the counters a worker
// reads after opening an archive. The application has one for the whole
// process (ProcessScanState); tests and the command-line tool may use their
// own. Fields touched from more than one thread are atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace tessaly {

// Called by the scan with the position reached (the end of the last entry
// found in Quick Repair, the scan position in Advance Repair), the archive's
// length, and how many 100-position steps this report stands for: the scan
// reports at most once per 100 positions, and less often over long stretches
// so that reporting costs next to nothing. A hook may throw to abandon the
// scan; the entry table keeps what was found until then.
using ProgressHook = std::function<void(std::uint64_t position, std::uint64_t total, std::uint64_t steps)>;

struct ScanState {
    std::atomic<int> analysisProgressActive{0};
    std::atomic<int> savingProgressActive{0};
    std::atomic<int> entriesFound{0};
    std::atomic<int> descriptorSeen{0};
    std::atomic<int> shortRead{0};

    // Installed once at start-up, before any worker runs.
    ProgressHook reportAnalysisProgress;
    ProgressHook reportSavingProgress;
    // Called by extraction between blocks of output, when set, so that a
    // long entry can be paused (the hook waits) or abandoned (it throws: the
    // output keeps what was written, the archive stays usable).
    std::function<void()> extractCheckpoint;

    void Report(std::uint64_t position, std::uint64_t total, std::uint64_t steps) const {
        if (analysisProgressActive.load(std::memory_order_relaxed) == 1 && reportAnalysisProgress)
            reportAnalysisProgress(position, total, steps);
        if (savingProgressActive.load(std::memory_order_relaxed) == 1 && reportSavingProgress)
            reportSavingProgress(position, total, steps);
    }
};

ScanState& ProcessScanState();

}  // namespace tessaly
