// A compressed format whose streams may follow one another within one
// entry's data (parallel bzip2, multi-stream xz, several Zstandard frames):
// they are read as one entry, which ends where the bytes after a stream's
// end do not start another.
#pragma once

#include "archive/methods/Decompressor.h"
#include "archive/methods/Decompressors.h"

namespace tessaly {

class StreamSequenceDecompressor : public Decompressor {
public:
    Step Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize) final;

protected:
    // Whether `input` (n > 0 bytes) starts another stream.
    virtual Follows NextStreamFollows(const std::uint8_t* input, std::size_t n) = 0;
    // Makes the decoder ready for the next stream.
    virtual void Restart() = 0;
    // Decodes from input + step.consumed into output + step.produced and
    // moves both on; calls StreamEnded at a stream's end.
    virtual void DecodeSome(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                            std::size_t outputSize, Step& step) = 0;

    void StreamEnded() { betweenStreams_ = true; }

private:
    bool StartNextStream(const std::uint8_t* input, std::size_t inputSize, Step& step);

    bool betweenStreams_ = false;
};

}  // namespace tessaly
