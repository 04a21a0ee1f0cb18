// The Deflate64 fuzz target's work: the input is decoded as one raw
// Deflate64 stream twice, once handed over whole into a large buffer and
// once in small pieces of input and output whose sizes the input's first
// bytes choose. The decoder resumes anywhere, so both must give the same
// bytes, the same end and take the same input, and neither may stop moving
// while input is waiting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/PieceDecoding.h"

namespace tessaly::fuzz {

using Deflate64Result = DecodeResult;

// Decodes `stream` feeding `inPiece` input bytes and taking `outPiece`
// output bytes at a time, then drains at the end of the input. Output stops
// at `cap` bytes.
Deflate64Result DecodeDeflate64(const std::uint8_t* stream, std::size_t size, std::size_t inPiece, std::size_t outPiece,
                                std::size_t cap);

// The target: both decodings compared. Returns what differs, empty when
// nothing does; `decoded`, when given, gets the whole decoding.
std::string CheckDeflate64(const std::uint8_t* data, std::size_t size, Deflate64Result* decoded = nullptr);

}  // namespace tessaly::fuzz
