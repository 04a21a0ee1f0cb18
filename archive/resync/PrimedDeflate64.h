// Deflate64 (ZIP method 9) started at any bit of a stream, with the 64 KiB
// before it taken to be all one byte (PrimedDecoder). It decodes to the
// final block.
#pragma once

#include <memory>

#include "archive/methods/Deflate64Decompressor.h"
#include "archive/resync/PrimedDecoder.h"

namespace tessaly {

class PrimedDeflate64 : public PrimedDecoder {
public:
    // `stopBit` is not used: a Deflate64 tail is decoded to its final block.
    void Start(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t stopBit,
               std::uint8_t windowFill) override;
    Step Fill(std::uint8_t* output, std::size_t outputSize) override;

private:
    std::unique_ptr<Deflate64Decompressor> decoder_;
    const std::uint8_t* next_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    Status status_ = Status::Failed;
};

}  // namespace tessaly
