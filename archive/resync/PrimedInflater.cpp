#include "archive/resync/PrimedInflater.h"

#include <algorithm>
#include <array>
#include <new>

namespace tessaly {

namespace {

constexpr std::size_t kWindowSize = 32768;
// zlib's data_type after a return: the unused bits of the last byte taken,
// and whether it stopped at a block boundary.
constexpr int kUnusedBitsMask = 7;
constexpr int kAtBoundaryFlag = 128;

}  // namespace

PrimedInflater::PrimedInflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
}

PrimedInflater::~PrimedInflater() { inflateEnd(&stream_); }

void PrimedInflater::Start(const std::uint8_t* data, std::size_t size, std::uint64_t startBit, std::uint64_t stopBit,
                           std::uint8_t windowFill) {
    data_ = data;
    stopBit_ = stopBit;
    boundaryBit_ = startBit;
    status_ = Status::Failed;
    if (inflateReset(&stream_) != Z_OK) return;
    std::size_t first = static_cast<std::size_t>(startBit / 8);
    const unsigned skip = static_cast<unsigned>(startBit % 8);
    if (first >= size) return;
    // The bits of the first byte that belong to the stream go in ahead of
    // the input, the rest of the input from the next byte on.
    if (skip != 0) {
        if (inflatePrime(&stream_, static_cast<int>(8 - skip), data[first] >> skip) != Z_OK) return;
        ++first;
    }
    std::array<std::uint8_t, kWindowSize> window;
    window.fill(windowFill);
    if (inflateSetDictionary(&stream_, window.data(), static_cast<uInt>(window.size())) != Z_OK) return;
    stream_.next_in = const_cast<Bytef*>(data + first);
    stream_.avail_in = static_cast<uInt>(std::min<std::size_t>(size - first, 0xFFFFFFFFu));
    status_ = Status::Running;
}

std::uint64_t PrimedInflater::BitAtBoundary() const {
    const auto taken = static_cast<std::uint64_t>(stream_.next_in - data_);
    return taken * 8 - static_cast<std::uint64_t>(stream_.data_type & kUnusedBitsMask);
}

PrimedInflater::Step PrimedInflater::Fill(std::uint8_t* output, std::size_t outputSize) {
    Step step;
    step.status = status_;
    while (status_ == Status::Running && step.produced < outputSize) {
        stream_.next_out = output + step.produced;
        stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(outputSize - step.produced, 1u << 30));
        const uInt before = stream_.avail_out;
        const int code = inflate(&stream_, Z_BLOCK);
        step.produced += before - stream_.avail_out;
        if (code == Z_STREAM_END) {
            boundaryBit_ = BitAtBoundary();
            status_ = Status::Finished;
        } else if (code != Z_OK) {
            // Z_BUF_ERROR with output room left: the input ended before the stream did.
            status_ = Status::Failed;
        } else if ((stream_.data_type & kAtBoundaryFlag) != 0) {
            boundaryBit_ = BitAtBoundary();
            if (boundaryBit_ >= stopBit_) status_ = Status::Finished;
        }
    }
    step.status = status_;
    return step;
}

}  // namespace tessaly
