// A decoder started at any bit of a block-structured stream (raw Deflate,
// Deflate64) with the window before that bit filled with one chosen byte, so
// that copies reaching into the unknown past decode (to that byte) instead
// of failing. ResyncTail runs two of them with different fill bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/resync/DeflateFormat.h"

namespace tessaly {

class PrimedDecoder {
public:
    enum class Status {
        Running,   // the output is full
        Finished,  // the final block, or the block ending at the stop bit, ended
        Failed,    // the data is not valid (or ended too soon)
    };

    struct Step {
        std::size_t produced = 0;
        Status status = Status::Running;
    };

    virtual ~PrimedDecoder() = default;

    // Decodes `data` (`size` bytes, kept by pointer) from `startBit` up to
    // the block that ends at `stopBit`, or to the final block.
    virtual void Start(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t stopBit,
                       std::uint8_t windowFill) = 0;

    // Fills `output` up to `outputSize` bytes unless the stream ends or fails first.
    virtual Step Fill(std::uint8_t* output, std::size_t outputSize) = 0;
};

std::unique_ptr<PrimedDecoder> MakePrimedDecoder(DeflateFormat format);

}  // namespace tessaly
