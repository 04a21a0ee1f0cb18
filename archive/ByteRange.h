// A stretch of bytes of a file or stream: [start, end).
#pragma once

#include <cstdint>
#include <vector>

namespace tessaly {

struct ByteRange {
    std::uint64_t start = 0;
    std::uint64_t end = 0;  // one past the last byte
    bool operator==(const ByteRange& other) const { return start == other.start && end == other.end; }
};

// Appends [start, end) to `ranges` (kept in order, apart), joining it to the
// last range when the two touch or overlap. Empty ranges are not added.
inline void AppendRange(std::vector<ByteRange>& ranges, std::uint64_t start, std::uint64_t end) {
    if (start >= end) return;
    if (!ranges.empty() && ranges.back().end >= start) {
        if (end > ranges.back().end) ranges.back().end = end;
        return;
    }
    ranges.push_back({start, end});
}

}  // namespace tessaly
