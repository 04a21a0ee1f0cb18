#include "archive/resync/PrimedDeflate64.h"

#include "archive/resync/PrimedInflater.h"

namespace tessaly {

void PrimedDeflate64::Start(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t,
                            std::uint8_t windowFill) {
    status_ = Status::Failed;
    if (startBit / 8 >= size) return;
    decoder_ = std::make_unique<Deflate64Decompressor>();
    decoder_->Prime(static_cast<unsigned>(startBit % 8), windowFill);
    next_ = data + startBit / 8;
    end_ = data + size;
    status_ = Status::Running;
}

PrimedDecoder::Step PrimedDeflate64::Fill(std::uint8_t* output, std::size_t outputSize) {
    Step step;
    while (status_ == Status::Running && step.produced < outputSize) {
        const Decompressor::Step decoded = decoder_->Decode(next_, static_cast<std::size_t>(end_ - next_),
                                                            output + step.produced, outputSize - step.produced);
        next_ += decoded.consumed;
        step.produced += decoded.produced;
        if (decoded.status == Decompressor::Status::StreamEnd)
            status_ = Status::Finished;
        else if (decoded.status == Decompressor::Status::DataError)
            status_ = Status::Failed;
        else if (decoded.consumed == 0 && decoded.produced == 0)
            status_ = Status::Failed;  // the data ended before the stream did
    }
    step.status = status_;
    return step;
}

std::unique_ptr<PrimedDecoder> MakePrimedDecoder(DeflateFormat format) {
    if (format == DeflateFormat::Deflate64) return std::make_unique<PrimedDeflate64>();
    return std::make_unique<PrimedInflater>();
}

}  // namespace tessaly
