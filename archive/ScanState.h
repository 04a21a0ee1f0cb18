// What a caller hands the archive layer for one open or one extraction: the
// scan's progress hook and the checkpoint extraction calls between blocks
// of output. The archive layer keeps nothing of it past the call; what the
// scan found it reports through the archive object itself.
#pragma once

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
    // The scan's progress, when set.
    ProgressHook progress;
    // Called by extraction between blocks of output, when set, so that a
    // long entry can be paused (the hook waits) or abandoned (it throws: the
    // output keeps what was written, the archive stays usable).
    std::function<void()> checkpoint;

    void Report(std::uint64_t position, std::uint64_t total, std::uint64_t steps) const {
        if (progress) progress(position, total, steps);
    }
    void Checkpoint() const {
        if (checkpoint) checkpoint();
    }
};

}  // namespace tessaly
