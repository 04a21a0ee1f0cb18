#include "archive/resync/DeflateResync.h"

#include <algorithm>

namespace tessaly {

DeflateResync::DeflateResync(const std::uint8_t* data, std::size_t size, const Limits& limits)
    : size_(size), limits_(limits), walker_(data, size) {
    walker_.SetMinBlockBits(limits_.minBlockBytes * 8);
}

bool DeflateResync::Accepted(const DeflateWalker::Walk& walk, Outcome& outcome) const {
    using WalkOutcome = DeflateWalker::Outcome;
    if (walk.outcome == WalkOutcome::StreamEnd) {
        // A final block that ends before the last byte is a stray final bit
        // read in the middle of the stream.
        const std::uint64_t endByte = (walk.stopBit + 7) / 8;
        if (endByte > size_ || endByte + limits_.endSlackBytes < size_) return false;
        outcome = Outcome::ToStreamEnd;
        return true;
    }
    if (walk.outcome == WalkOutcome::Invalid || walk.outcome == WalkOutcome::Truncated) {
        if (walk.longBlocks < limits_.longBlocksBeforeBreak) return false;
        outcome = Outcome::ToBreak;
        return true;
    }
    return false;
}

DeflateResync::Result DeflateResync::Search(std::uint64_t fromBit, const Checkpoint& checkpoint) {
    Result result;
    const std::uint64_t endBit = std::uint64_t{size_} * 8;
    const std::uint64_t lastStart = std::min(endBit, fromBit + limits_.searchBytes * 8);
    const std::uint64_t budgetBits = limits_.trialBytes * 8;
    for (std::uint64_t bit = fromBit; bit < lastStart; ++bit) {
        if (result.bitsSearched % limits_.checkpointBits == 0 && result.bitsSearched > 0 && checkpoint &&
            !checkpoint()) {
            result.outcome = Outcome::Stopped;
            return result;
        }
        ++result.bitsSearched;
        const DeflateWalker::Walk walk = walker_.Run(bit, budgetBits - result.trialBits);
        result.trialBits += walk.stopBit - bit;
        Outcome outcome = Outcome::NotFound;
        if (Accepted(walk, outcome)) {
            result.outcome = outcome;
            result.startBit = bit;
            // Damage inside a block often decodes to wrong symbols that fall
            // back into step and end the block normally, the break showing
            // only in a block after it: the last whole block before a break
            // is not trusted.
            const bool toBreak = outcome == Outcome::ToBreak;
            result.endBit = toBreak ? walk.priorBlockEndBit : walk.lastBlockEndBit;
            result.tailBytes = toBreak ? walk.priorBlockEndOutput : walk.lastBlockEndOutput;
            return result;
        }
        if (walk.outcome == DeflateWalker::Outcome::Allowance || result.trialBits >= budgetBits) {
            result.outcome = Outcome::Budget;
            return result;
        }
    }
    result.outcome = Outcome::NotFound;
    return result;
}

}  // namespace tessaly
