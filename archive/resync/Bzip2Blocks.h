// The blocks of BZip2 data (ZIP method 12), found by their 48-bit magic
// numbers wherever they lie, each decoded on its own. A block carries the
// CRC-32 of its output, so a block that decodes alone is certainly right:
// damage in one block never costs the blocks around it. A block is decoded
// as a stream of its own: a stream header, the block's bits, an end-of-
// stream mark and the block's CRC-32, which is the whole stream's CRC when
// it has one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tessaly {

struct Bzip2Block {
    std::uint64_t startBit = 0;  // its magic number (bits count from the first byte's top bit)
    std::uint64_t endBit = 0;    // where the next block's or end-of-stream magic begins
    bool endsStream = false;     // an end-of-stream mark follows it
};

// The blocks in `data` (`size` bytes), in order. A block runs to the next
// magic of either kind; a block magic with none after it is left out.
std::vector<Bzip2Block> FindBzip2Blocks(const std::uint8_t* data, std::size_t size);

// Where the stream that `block` ends (endsStream) ends: after its end-of-
// stream mark and CRC-32, rounded up to a whole byte.
std::uint64_t Bzip2StreamEndBit(const Bzip2Block& block);

// Decodes `block` alone, handing its output to `sink` piece by piece; its
// length, or nothing when it does not decode to its own CRC-32 (`sink` may
// have been handed bytes by then).
using Bzip2Sink = std::function<void(const std::uint8_t*, std::size_t)>;
std::optional<std::uint64_t> DecodeBzip2Block(const std::uint8_t* data, const Bzip2Block& block, const Bzip2Sink& sink);

}  // namespace tessaly
