#include "fuzz/Deflate64Target.h"

#include <algorithm>
#include <string>
#include <utility>

#include "archive/methods/Deflate64Decompressor.h"
#include "fuzz/PieceDecoding.h"

namespace tessaly::fuzz {
namespace {

// A Deflate64 match copies up to 65538 bytes from a few bits, so a small
// input can stand for a great deal of output: this much is compared.
constexpr std::size_t kOutputCap = std::size_t{2} << 20;
constexpr std::size_t kWholeBuffer = std::size_t{256} << 10;
// In pieces of a few bytes each call costs more: the comparison there stops
// sooner.
constexpr std::size_t kPiecesCap = std::size_t{512} << 10;

}  // namespace

Deflate64Result DecodeDeflate64(const std::uint8_t* stream, std::size_t size, std::size_t inPiece, std::size_t outPiece,
                                std::size_t cap) {
    Deflate64Decompressor decoder;
    return DecodeInPieces(decoder, stream, size, inPiece, outPiece, cap);
}

std::string CheckDeflate64(const std::uint8_t* data, std::size_t size, Deflate64Result* decoded) {
    if (size < 2) return {};
    const Pieces chosen = PiecesFrom(data[0], data[1]);
    const std::uint8_t* stream = data + 2;
    const std::size_t length = size - 2;

    Deflate64Result whole = DecodeDeflate64(stream, length, length + 1, kWholeBuffer, kOutputCap);
    if (!whole.fault.empty()) return "whole stream: " + whole.fault;
    const Deflate64Result cut = DecodeDeflate64(stream, length, chosen.in, chosen.out, kPiecesCap);
    if (!cut.fault.empty()) return chosen.name + ": " + cut.fault;
    const std::string differs = Disagreement(whole, "the whole stream", cut, chosen.name, Decoders::Same);
    if (!differs.empty()) return differs;
    if (decoded != nullptr) *decoded = std::move(whole);
    return {};
}

}  // namespace tessaly::fuzz
