// Finds where a raw Deflate stream (ZIP method 8) broken in its middle can
// be picked up again: the first bit, at or after the break, from which
// Deflate blocks decode. The data given ends where the entry's compressed
// data truly ends, so a place is taken when its blocks run on to a final
// block that ends in the last byte of the data; or, when the stream breaks
// again further on, when they run through at least two long blocks before
// that second break. Such a place ends at the last whole block but one
// before the break, and the caller searches again from there. Places are first tested by DeflateWalker, which needs no
// window: almost every false start fails within a few bytes.
//
// The search is bounded by how far it looks past the break and by the bits
// its trials may read in all, and it calls a checkpoint now and then, which
// may stop it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "archive/resync/DeflateWalker.h"

namespace tessaly {

class DeflateResync {
public:
    struct Limits {
        std::uint64_t searchBytes = 4 << 20;  // how far past the break to look for a start
        // Compressed bytes every trial together may read, the successful
        // walk to the end included.
        std::uint64_t trialBytes = 256 << 20;
        // A block counts as long from this many compressed bytes; the first
        // block of a place must be long unless it is the final one.
        std::uint64_t minBlockBytes = 1024;
        std::uint32_t longBlocksBeforeBreak = 2;
        // A stream that ends this many bytes or fewer before the end of the
        // data still runs to its end: a data descriptor may follow it.
        std::uint64_t endSlackBytes = 0;
        std::uint64_t checkpointBits = 1 << 16;  // bits searched between two checkpoint calls
    };

    enum class Outcome {
        ToStreamEnd,  // the blocks from `startBit` run on to the end of the data
        ToBreak,      // they run to `endBit`, the end of the last whole block but one before a new break
        NotFound,     // no start within the distance searched, or none before the data ended
        Budget,       // the trials read all the bits they were allowed
        Stopped,      // the checkpoint asked to stop
    };

    struct Result {
        Outcome outcome = Outcome::NotFound;
        std::uint64_t startBit = 0;
        std::uint64_t endBit = 0;
        std::uint64_t tailBytes = 0;     // what the blocks from `startBit` to `endBit` decode to
        std::uint64_t bitsSearched = 0;  // start positions tried
        std::uint64_t trialBits = 0;     // bits read by every trial
        bool Found() const { return outcome == Outcome::ToStreamEnd || outcome == Outcome::ToBreak; }
    };

    // True to go on, false to stop the search.
    using Checkpoint = std::function<bool()>;

    // `data` holds the entry's compressed bytes up to their end; it is kept
    // by pointer, not copied.
    DeflateResync(const std::uint8_t* data, std::size_t size, const Limits& limits);

    // Searches from `fromBit` (where decoding broke, or the end bit of a
    // place found before that ended in a break).
    Result Search(std::uint64_t fromBit, const Checkpoint& checkpoint = {});

private:
    bool Accepted(const DeflateWalker::Walk& walk, Outcome& outcome) const;

    std::size_t size_;
    Limits limits_;
    DeflateWalker walker_;
};

}  // namespace tessaly
