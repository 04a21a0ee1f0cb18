// Which bytes of an entry's output are not certainly its own: for a damaged
// entry, everything the decoder cannot vouch for.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/ByteRange.h"
#include "archive/EntryVerdict.h"

namespace tessaly {

class EntryDecoder;

// The lost stretches of the `written` bytes of an entry judged `verdict`.
// A whole entry has none, nor one that only ends early (what a cut stream
// gives is right). A stream that broke loses what its damaged block decoded,
// when its decoder can tell which that was (Decompressor::Break); otherwise,
// and when only the CRC-32 or a size disagrees, nothing written is certain.
std::vector<ByteRange> LostOutput(const EntryVerdict& verdict, const EntryDecoder& decoder, std::uint64_t written);

}  // namespace tessaly
