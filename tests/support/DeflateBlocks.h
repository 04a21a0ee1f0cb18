// Where the blocks of an intact raw Deflate stream begin, as zlib reads it:
// for tests that damage a stream at a block or check that a stream was
// picked up again at one.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

struct BlockBoundary {
    std::uint64_t bit = 0;     // the input bit the block after it starts at
    std::uint64_t offset = 0;  // uncompressed bytes before it
};

// Every block boundary after the first block, the stream's end included.
std::vector<BlockBoundary> BlockBoundaries(const Bytes& stream);

// Sets the block header at `bit` to a reserved block type, which no decoder
// reads past.
void BreakBlockHeader(Bytes& stream, std::uint64_t bit);

}  // namespace tessaly::testzip
