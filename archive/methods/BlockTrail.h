// The last block boundaries a decoder of a block-structured stream (raw
// Deflate, Deflate64) passed, and from them where its stream broke
// (Decompressor::Break).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/methods/Decompressor.h"

namespace tessaly {

class BlockTrail {
public:
    // A block begins at input bit `bit`, after `output` bytes. The stream's
    // start counts as one.
    void Note(std::uint64_t bit, std::uint64_t output);

    // The break, given the boundaries passed before the error. The last one
    // may be a false one: damage inside a block often decodes to an
    // end-of-block code, and the error shows in the "header" read after it.
    // So the block before the last boundary is taken as the damaged one, and
    // before it any short block, which is likely to be more of the same.
    StreamBreak Break() const;

private:
    struct Boundary {
        std::uint64_t bit = 0;
        std::uint64_t output = 0;
    };
    static constexpr std::size_t kKept = 8;

    std::array<Boundary, kKept> boundaries_{};  // a ring, oldest first once it has wrapped
    std::size_t count_ = 1;
};

}  // namespace tessaly
