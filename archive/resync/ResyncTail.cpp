#include "archive/resync/ResyncTail.h"

#include <algorithm>

namespace tessaly {

ResyncTail::ResyncTail(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t endBit)
    : otherBuffer_(new std::uint8_t[kStepSize]) {
    zeros_.Start(data, size, startBit, endBit, 0x00);
    ones_.Start(data, size, startBit, endBit, 0xFF);
}

ResyncTail::Step ResyncTail::Next(std::uint8_t* output, std::size_t outputSize, std::vector<Range>& uncertain) {
    Step step;
    while (status_ == Status::Running && step.produced < outputSize) {
        const std::size_t wanted = std::min(outputSize - step.produced, kStepSize);
        std::uint8_t* out = output + step.produced;
        const PrimedInflater::Step a = zeros_.Fill(out, wanted);
        const PrimedInflater::Step b = ones_.Fill(otherBuffer_.get(), wanted);
        // Both read the same bits, so they stop at the same place; were they
        // ever to disagree, only what both gave is handed out.
        const std::size_t count = std::min(a.produced, b.produced);
        MarkUncertain(out, otherBuffer_.get(), count, uncertain);
        step.produced += count;
        produced_ += count;
        if (a.produced != b.produced || a.status != b.status || a.status == PrimedInflater::Status::Failed)
            status_ = Status::Failed;
        else if (a.status == PrimedInflater::Status::Finished)
            status_ = Status::Finished;
    }
    step.status = status_;
    return step;
}

void ResyncTail::MarkUncertain(std::uint8_t* output, const std::uint8_t* other, std::size_t count,
                               std::vector<Range>& uncertain) {
    const std::uint64_t base = produced_;
    std::size_t i = 0;
    while (i < count) {
        if (output[i] == other[i]) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < count && output[i] != other[i]) output[i++] = kUncertainFill;
        uncertainBytes_ += i - start;
        AppendRange(uncertain, base + start, base + i);
    }
}

}  // namespace tessaly
