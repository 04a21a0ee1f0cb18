#include "archive/BufferSizes.h"

#include <algorithm>
#include <atomic>

#include "archive/EntryDecoder.h"
#include "archive/scan/ScanWindow.h"

namespace tessaly {

namespace {
// Atomic so that readers on extraction threads never race a test's guard;
// relaxed loads cost what plain loads do.
std::atomic<std::size_t> gScanWindow{ScanWindow::kDefaultCapacity};
std::atomic<std::size_t> gDecoderInput{EntryDecoder::kInputBufferSize};

void Put(const BufferSizes& sizes) {
    gScanWindow.store(std::max<std::size_t>(sizes.scanWindow, 1), std::memory_order_relaxed);
    gDecoderInput.store(std::max<std::size_t>(sizes.decoderInput, 1), std::memory_order_relaxed);
}
}  // namespace

BufferSizes BufferSizes::Defaults() { return {ScanWindow::kDefaultCapacity, EntryDecoder::kInputBufferSize}; }

BufferSizes CurrentBufferSizes() {
    return {gScanWindow.load(std::memory_order_relaxed), gDecoderInput.load(std::memory_order_relaxed)};
}

ScopedBufferSizes::ScopedBufferSizes(const BufferSizes& sizes) : previous_(CurrentBufferSizes()) { Put(sizes); }

ScopedBufferSizes::~ScopedBufferSizes() { Put(previous_); }

}  // namespace tessaly
