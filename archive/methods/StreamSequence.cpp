#include "archive/methods/StreamSequence.h"

namespace tessaly {

Decompressor::Step StreamSequenceDecompressor::Decode(const std::uint8_t* input, std::size_t inputSize,
                                                      std::uint8_t* output, std::size_t outputSize) {
    Step step;
    while (step.status == Status::Running) {
        if (betweenStreams_ && !StartNextStream(input + step.consumed, inputSize - step.consumed, step)) break;
        const std::size_t before = step.consumed + step.produced;
        DecodeSome(input, inputSize, output, outputSize, step);
        if (step.consumed + step.produced == before || step.produced == outputSize) break;
    }
    return step;
}

// After a stream's end: false when the entry ends here (or more input is
// needed to tell); true when a new stream starts.
bool StreamSequenceDecompressor::StartNextStream(const std::uint8_t* input, std::size_t inputSize, Step& step) {
    // No input at all is given only when the archive has ended.
    const Follows next = inputSize == 0 ? Follows::No : NextStreamFollows(input, inputSize);
    if (next == Follows::No) step.status = Status::StreamEnd;
    if (next != Follows::Yes) return false;
    Restart();
    betweenStreams_ = false;
    return true;
}

}  // namespace tessaly
