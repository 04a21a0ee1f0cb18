// The last block boundaries a raw Deflate decoder passed, and from them
// where a stream that broke is taken to have broken (Decompressor::Break).
// ZlibInflater and IsalInflater keep them alike, so that both answer the
// same for the same stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/methods/Decompressor.h"

namespace tessaly {

class BlockBoundaries {
public:
    // A block boundary passed: the input bit the next block starts at, and
    // the output produced before it. The same boundary again is ignored.
    void Note(std::uint64_t bit, std::uint64_t output);

    // The last boundary before the error may be a false one: damage inside a
    // block often decodes to an end-of-block code, and the error shows in
    // the "header" read after it. So the block before the last boundary is
    // the one taken as damaged, and before it any short block, which is
    // likely to be more of the same.
    StreamBreak Break() const;

private:
    struct Boundary {
        std::uint64_t bit = 0;
        std::uint64_t output = 0;
    };
    static constexpr std::size_t kKept = 8;

    // The last boundaries passed, oldest first once the ring has wrapped;
    // the stream's start counts as one.
    std::array<Boundary, kKept> boundaries_{};
    std::size_t count_ = 1;
};

}  // namespace tessaly
