// The header of one Deflate block, read without decoding the block: what
// kind it is and whether every code it sets up is complete. IsalInflater
// reads each header before it picks the decoder for the block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly {

struct DeflateBlockHeader {
    enum class Kind {
        NeedMore,  // the bytes given end inside the header
        Stored,
        Fixed,
        Dynamic,
        Invalid,  // a header zlib refuses (block type 3, a code that is over-subscribed, ...)
    };
    Kind kind = Kind::NeedMore;
    bool final = false;
    // Stored: LEN is the complement of NLEN. Dynamic: the header is one zlib
    // takes, and both its literal/length and its distance code are complete,
    // so every bit pattern in the block decodes to a literal, a length of
    // 3-258 or a distance of 1-32 768: nothing in the block can be refused.
    bool clean = false;
};

// Reads the block header that starts at bit `bit` (0-7) of `data[0]`, from
// `size` bytes.
DeflateBlockHeader ReadDeflateBlockHeader(const std::uint8_t* data, std::size_t size, unsigned bit);

}  // namespace tessaly
