// Checks that raw Deflate data is well formed from a given bit on, without
// producing any output: block headers, the code lengths of dynamic blocks,
// every symbol, length and distance. The 32 KiB before the starting bit are
// taken to be unknown but present, so every distance Deflate can express is
// accepted; the walk fails only on what no stream could contain. It is the
// cheap first test of a place where a damaged stream might resume.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/methods/PrefixCode.h"

namespace tessaly {

class DeflateWalker {
public:
    enum class Outcome {
        StreamEnd,  // a final block ended; `stopBit` is just after it
        Invalid,    // something no Deflate stream holds; `stopBit` is where it was found
        Truncated,  // the data ended inside a block or before a final block
        WeakStart,  // the first block was shorter than required and not final
        Allowance,  // the walk used the bits it was allowed
    };

    struct Walk {
        Outcome outcome = Outcome::Invalid;
        std::uint64_t startBit = 0;
        std::uint64_t stopBit = 0;           // where the walk stopped
        std::uint64_t lastBlockEndBit = 0;   // just after the last complete block (startBit when none)
        std::uint64_t priorBlockEndBit = 0;  // just after the complete block before that one
        // What the complete blocks decode to, in bytes, up to each of the two
        // block ends above.
        std::uint64_t lastBlockEndOutput = 0;
        std::uint64_t priorBlockEndOutput = 0;
        std::uint32_t completeBlocks = 0;
        std::uint32_t longBlocks = 0;  // complete blocks of at least `minBlockBits`
    };

    // `data` holds `size` bytes; the walker keeps the pointer, not a copy.
    DeflateWalker(const std::uint8_t* data, std::size_t size);
    ~DeflateWalker();
    DeflateWalker(const DeflateWalker&) = delete;
    DeflateWalker& operator=(const DeflateWalker&) = delete;

    // Blocks shorter than this (in bits) do not count as long, and a first
    // block shorter than this that is not the final one ends the walk as a
    // weak start: false starts in the middle of a stream, read as a block
    // of fixed codes, end within a few hundred bits.
    void SetMinBlockBits(std::uint64_t bits) { minBlockBits_ = bits; }

    // Walks blocks from `startBit`, counting the bytes they decode to, until a final block ends, the data turns
    // invalid or ends, or `allowanceBits` bits were read.
    Walk Run(std::uint64_t startBit, std::uint64_t allowanceBits);

private:
    enum class BlockResult { Complete, Invalid, Truncated };

    void Seek(std::uint64_t bit);
    void Refill();
    std::uint64_t Position() const { return nextByte_ * 8 - available_; }
    std::uint32_t Peek(unsigned count) const {
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
    }
    void Drop(unsigned count) {
        bits_ >>= count;
        available_ -= count;
    }
    std::uint32_t Take(unsigned count);
    bool Overrun() const { return Position() > endBit_; }

    BlockResult StoredBlock();
    BlockResult DynamicTables();
    BlockResult CodedBlock(const deflate64::CodeTable& literals, const deflate64::CodeTable& distances,
                           std::uint64_t limitBit);
    const deflate64::CodeEntry& Lookup(const deflate64::CodeTable& table);

    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t endBit_;
    std::uint64_t minBlockBits_ = 8 * 1024;
    std::uint64_t blockOutput_ = 0;  // bytes the block being walked decodes to

    std::uint64_t bits_ = 0;
    unsigned available_ = 0;
    std::size_t nextByte_ = 0;

    // The fixed codes, built once, and room for one dynamic block's codes.
    struct Tables;
    std::unique_ptr<Tables> tables_;
};

}  // namespace tessaly
