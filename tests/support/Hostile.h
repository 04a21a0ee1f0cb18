// Archives built to hurt a salvage tool rather than damaged by accident:
// entries that share one compressed kernel, headers whose data all runs to
// the directory, and files of nothing but record signatures. Used by the
// tests and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

struct HostileZip {
    Bytes bytes;
    std::uint64_t firstEntrySize = 0;  // uncompressed size of the outermost entry
    std::uint64_t totalSize = 0;       // what writing every entry would come to
};

// `count` deflated entries whose data overlap: each entry's data quotes the
// next entry's local header in a stored deflate block and then runs on into
// that entry's data, down to one shared kernel inflating to `kernelSize`
// bytes. Every entry is whole (CRC-32 and sizes agree), and a central
// directory names every local header.
HostileZip OverlapBomb(std::size_t count, std::size_t kernelSize);

// `count` stored local headers `spacing` bytes apart whose compressed sizes
// all run to the central directory after them (CRC-32 0, so none is whole).
HostileZip SharedTailHeaders(std::size_t count, std::size_t spacing);

// `size` bytes of the local-header signature, repeated.
Bytes SignatureFlood(std::size_t size);

// A healthy archive of `count` entries in nested folders (deflated text,
// deflated and stored noise; about 1.8 KB of archive per entry) sent
// through a text-mode transfer: every LF byte became CR LF, so nearly every
// entry's data and many of its header fields are damaged.
Bytes TextModeTransferred(std::size_t count);

}  // namespace tessaly::testzip
