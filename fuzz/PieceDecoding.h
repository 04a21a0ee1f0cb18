// Decoding one stream through a Decompressor in pieces of input and output
// of given sizes, as the fuzz targets of the stream decoders do: what came
// out, how it ended, and whatever the decoder did against its contract.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/methods/Decompressor.h"

namespace tessaly::fuzz {

struct DecodeResult {
    std::vector<std::uint8_t> output;  // at most the cap
    Decompressor::Status status = Decompressor::Status::Running;
    std::size_t consumed = 0;
    std::optional<StreamBreak> broke;  // after a data error, where the decoder says the stream broke
    bool capped = false;               // the output reached the cap; decoding stopped there
    std::string fault;                 // what the decoder did wrong; empty when nothing
};

// The piece sizes a fuzz input's first two bytes choose: 1 to 64 bytes of
// input, 1 to 4096 of output (odd sizes cut codes, extra bits and matches
// anywhere).
struct Pieces {
    std::size_t in = 1;
    std::size_t out = 1;
    std::string name;  // "pieces of IN/OUT"
};
Pieces PiecesFrom(std::uint8_t first, std::uint8_t second);

// Decodes `stream` feeding `inPiece` input bytes and taking `outPiece`
// output bytes at a time, then drains at the end of the input. Output stops
// at `cap` bytes. A running decoder must take all its input before it is
// drained, but for the last `untaken` bytes (which it holds itself).
DecodeResult DecodeInPieces(Decompressor& decoder, const std::uint8_t* stream, std::size_t size, std::size_t inPiece,
                            std::size_t outPiece, std::size_t cap, std::size_t untaken = 0);

// "N bytes, <status>, M taken".
std::string Describe(const DecodeResult& result);

// How two decodings of one stream differ, named `aName` and `bName`; empty
// when they agree: the same bytes as far as both go and, when neither was
// capped, the same length and end. One decoder fed differently must also
// take the same input. Two decoders must take the same input where the
// stream ends (elsewhere one may hold more of it than the other) and place
// a break alike.
enum class Decoders { Same, Different };
std::string Disagreement(const DecodeResult& a, const std::string& aName, const DecodeResult& b,
                         const std::string& bName, Decoders decoders);

}  // namespace tessaly::fuzz
