// The sizes of the archive reader's read buffers: the salvage scan's read
// window and the entry decoder's buffer of compressed input. The defaults
// are the sizes the reader is tuned for (ScanWindow::kDefaultCapacity,
// EntryDecoder::kInputBufferSize); production code never changes them.
//
// Test knob: a test shrinks them with ScopedBufferSizes so that records and
// streams cross buffer boundaries everywhere. A scan reads the sizes once
// when it is constructed, a decoder once per entry it begins, so the knob
// costs nothing per byte; a scan or an entry already under way keeps the
// sizes it started with.
#pragma once

#include <cstddef>

namespace tessaly {

struct BufferSizes {
    std::size_t scanWindow;    // bytes the salvage scan keeps in memory (at least 4 are used)
    std::size_t decoderInput;  // compressed bytes an entry decoder reads at a time

    static BufferSizes Defaults();
};

// The sizes in force now.
BufferSizes CurrentBufferSizes();

// For tests only: puts `sizes` in force (0 counts as 1) for the guard's
// lifetime, and the sizes in force before it back after. Guards nest; they
// must not be made while another thread is opening or extracting archives.
class ScopedBufferSizes {
public:
    explicit ScopedBufferSizes(const BufferSizes& sizes);
    ~ScopedBufferSizes();
    ScopedBufferSizes(const ScopedBufferSizes&) = delete;
    ScopedBufferSizes& operator=(const ScopedBufferSizes&) = delete;

private:
    BufferSizes previous_;
};

}  // namespace tessaly
