// What a Deflate64 match cut inside its distance still decides when the
// input has ended: its length arrived, its distance did not, yet every
// distance the bits held still allow may copy the same bytes (a run of zeros,
// a repeated pattern). Only those bytes are given, never a guess.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/methods/PrefixCode.h"

namespace tessaly::deflate64 {

// Tries every distance that `held` bits of `bits` (the start of the distance
// code and its extra bits) still allow, among those within the `out` bytes
// decoded before `window[out]`, and writes there the bytes all of them copy
// alike for a match of `length`; returns how many. The work is bounded:
// stopping early only gives fewer bytes. `window` has room for `length`
// bytes after `out`.
std::size_t DecidedMatchBytes(const CodeTable& distances, std::uint64_t bits, unsigned held, std::uint8_t* window,
                              std::size_t out, std::uint32_t length);

}  // namespace tessaly::deflate64
