// One run of a liblzma decoder on what a Decompressor is handed: from
// input + step.consumed into output + step.produced, moving both on. The
// LZMA and XZ decompressors share it; each reads the result its own way.
#pragma once

#include <lzma.h>

#include "archive/methods/Decompressor.h"

namespace tessaly {

inline lzma_ret RunLzmaCode(lzma_stream& stream, const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                            std::size_t outputSize, Decompressor::Step& step) {
    stream.next_in = input + step.consumed;
    stream.avail_in = inputSize - step.consumed;
    stream.next_out = output + step.produced;
    stream.avail_out = outputSize - step.produced;
    const lzma_ret result = lzma_code(&stream, LZMA_RUN);
    step.consumed = inputSize - stream.avail_in;
    step.produced = outputSize - stream.avail_out;
    return result;
}

}  // namespace tessaly
