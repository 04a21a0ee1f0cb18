// zlib's raw inflater started at any bit of a Deflate stream, with the
// 32 KiB window before that bit filled with one chosen byte, so that copies
// reaching into the unknown past decode (to that byte) instead of failing.
// It stops at block boundaries (Z_BLOCK) to tell exactly which bit it has
// reached, and can be told to stop at the end of a given block.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "archive/resync/PrimedDecoder.h"

namespace tessaly {

class PrimedInflater : public PrimedDecoder {
public:
    PrimedInflater();
    ~PrimedInflater() override;
    PrimedInflater(const PrimedInflater&) = delete;
    PrimedInflater& operator=(const PrimedInflater&) = delete;

    // Decodes `data` (`size` bytes, kept by pointer) from `startBit` up to
    // the block that ends at `stopBit`, or to the final block.
    void Start(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t stopBit,
               std::uint8_t windowFill) override;

    // Fills `output` up to `outputSize` bytes unless the stream ends or fails first.
    Step Fill(std::uint8_t* output, std::size_t outputSize) override;

private:
    std::uint64_t BitAtBoundary() const;

    z_stream stream_{};
    const std::uint8_t* data_ = nullptr;
    std::uint64_t stopBit_ = 0;
    std::uint64_t boundaryBit_ = 0;
    Status status_ = Status::Failed;
};

}  // namespace tessaly
