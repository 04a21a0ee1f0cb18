// How far one entry may expand when it is read: a ratio to the compressed
// bytes its data takes up in the archive, and an absolute size. An entry
// that would pass either is stopped there (what was read up to it stays)
// and reported as limited; the next entry is read as usual.
//
// The defaults stop no real file. Deflate cannot pass about 1030:1, and
// Deflate64, LZMA, XZ and Zstandard stay below about 35 000:1 even on a file
// of nothing but zeros; only BZip2 on long runs of one byte goes further
// (some 1 400 000:1), which is what a few kilobytes that expand to
// gigabytes are made of. Stored data never expands, so only the size limit
// applies to it. A declared size keeps its own cap besides (see
// EntryDecoder::kRunOnAllowance).
#pragma once

#include <cstdint>

namespace tessaly {

struct ExpansionLimits {
    static constexpr std::uint64_t kDefaultRatio = 100000;
    static constexpr std::uint64_t kDefaultSize = std::uint64_t{1} << 40;  // 1 TiB
    static constexpr std::uint64_t kDefaultRatioFreeSize = std::uint64_t{16} << 20;

    // Output may come to `ratio` times the compressed bytes read so far.
    std::uint64_t ratio = kDefaultRatio;
    // No entry's output goes past this many bytes.
    std::uint64_t size = kDefaultSize;
    // Output up to this size is never stopped by the ratio: a small file of
    // zeros, or the first block of a stream, may expand however far it does.
    std::uint64_t ratioFreeSize = kDefaultRatioFreeSize;

    // Limits that keep every entry to at most `bytes`, the ratio as by
    // default: for callers that want output bounded whatever the archive
    // holds (a fuzz target, a test).
    static ExpansionLimits UpTo(std::uint64_t bytes) {
        ExpansionLimits limits;
        limits.size = bytes;
        return limits;
    }
};

}  // namespace tessaly
