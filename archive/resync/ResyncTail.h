// Decodes a damaged Deflate stream from a place where it was picked up
// again (DeflateResync) and tells which bytes are certain. The 32 KiB before
// that place are unknown, so the tail is decoded twice, once as if they were
// all 0x00 and once as if all 0xFF: a byte that is the same both times is a
// literal or a copy of such bytes, and certain; a byte that differs was
// copied out of the unknown window. Uncertain bytes are handed out as 0 and
// reported as ranges in tail coordinates (0 = the first byte decoded from
// the place found).
//
// Both decodes advance in step through a fixed buffer, so memory stays
// bounded whatever the tail's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/ByteRange.h"
#include "archive/resync/PrimedInflater.h"

namespace tessaly {

class ResyncTail {
public:
    using Range = ByteRange;

    enum class Status {
        Running,   // the output is full; call again
        Finished,  // the tail ended: the stream's end, or the end bit given
        Failed,    // the data broke; what was handed out before stays valid
    };

    struct Step {
        std::size_t produced = 0;
        Status status = Status::Running;
    };

    static constexpr std::uint8_t kUncertainFill = 0;

    // Decodes `data` (`size` bytes, kept by pointer) from `startBit` to the
    // end of the block ending at `endBit`, or to the final block.
    ResyncTail(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t endBit);

    // Fills `output` with up to `outputSize` tail bytes and appends the
    // uncertain ranges among them to `uncertain`, joining a range to the last
    // one there when they touch.
    Step Next(std::uint8_t* output, std::size_t outputSize, std::vector<Range>& uncertain);

    std::uint64_t Produced() const { return produced_; }
    std::uint64_t UncertainBytes() const { return uncertainBytes_; }

private:
    void MarkUncertain(std::uint8_t* output, const std::uint8_t* other, std::size_t count,
                       std::vector<Range>& uncertain);

    static constexpr std::size_t kStepSize = 64 * 1024;

    PrimedInflater zeros_;
    PrimedInflater ones_;
    std::unique_ptr<std::uint8_t[]> otherBuffer_;
    std::uint64_t produced_ = 0;
    std::uint64_t uncertainBytes_ = 0;
    Status status_ = Status::Running;
};

}  // namespace tessaly
