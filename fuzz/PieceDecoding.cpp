#include "fuzz/PieceDecoding.h"

#include <algorithm>

namespace tessaly::fuzz {
namespace {

using Status = Decompressor::Status;

// Calls in a row that take no input and give no output while input is
// waiting: far more than any resumable state needs.
constexpr int kStallLimit = 8;

const char* StatusName(Status status) {
    switch (status) {
        case Status::Running: return "running";
        case Status::StreamEnd: return "stream end";
        case Status::DataError: return "data error";
    }
    return "?";
}

void Drain(Decompressor& decoder, std::vector<std::uint8_t>& buffer, DecodeResult& result, std::size_t cap) {
    while (result.output.size() < cap) {
        const std::size_t room = std::min(buffer.size(), cap - result.output.size());
        const std::size_t n = decoder.DrainAtEnd(buffer.data(), room);
        if (n == 0) return;
        if (n > room) {
            result.fault = "DrainAtEnd gave more than its buffer holds";
            return;
        }
        result.output.insert(result.output.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
    result.capped = true;
}

}  // namespace

Pieces PiecesFrom(std::uint8_t first, std::uint8_t second) {
    Pieces pieces;
    pieces.in = 1 + first % 64;
    pieces.out = 1 + (second * 16 + first / 64) % 4096;
    pieces.name = "pieces of " + std::to_string(pieces.in) + "/" + std::to_string(pieces.out);
    return pieces;
}

DecodeResult DecodeInPieces(Decompressor& decoder, const std::uint8_t* stream, std::size_t size, std::size_t inPiece,
                            std::size_t outPiece, std::size_t cap, std::size_t untaken) {
    DecodeResult result;
    std::vector<std::uint8_t> buffer(outPiece);
    std::size_t offered = std::min(size, inPiece);
    int stalls = 0;
    while (result.output.size() < cap) {
        const std::size_t room = std::min(outPiece, cap - result.output.size());
        const auto step = decoder.Decode(stream + result.consumed, offered - result.consumed, buffer.data(), room);
        if (step.consumed > offered - result.consumed || step.produced > room) {
            result.fault = "Decode took or gave more than it was offered";
            return result;
        }
        result.output.insert(result.output.end(), buffer.begin(),
                             buffer.begin() + static_cast<std::ptrdiff_t>(step.produced));
        result.consumed += step.consumed;
        result.status = step.status;
        if (step.status == Status::DataError) result.broke = decoder.Break();
        if (step.status != Status::Running) return result;
        if (step.consumed == 0 && step.produced == 0) {
            // Everything given and nothing more to be had: the input ended.
            if (offered == size) break;
            if (++stalls > kStallLimit) {
                result.fault = "decoder takes no input at " + std::to_string(result.consumed);
                return result;
            }
        } else {
            stalls = 0;
        }
        if (result.consumed == offered || step.consumed == 0) offered = std::min(size, offered + inPiece);
    }
    if (result.output.size() >= cap) {
        result.capped = true;
        return result;
    }
    if (result.consumed + untaken < size) {
        result.fault = "decoder left " + std::to_string(size - result.consumed) + " bytes of a running stream";
        return result;
    }
    Drain(decoder, buffer, result, cap);
    return result;
}

std::string Describe(const DecodeResult& r) {
    return std::to_string(r.output.size()) + " bytes, " + StatusName(r.status) + ", " + std::to_string(r.consumed) +
           " taken";
}

std::string Disagreement(const DecodeResult& a, const std::string& aName, const DecodeResult& b,
                         const std::string& bName, Decoders decoders) {
    const std::size_t common = std::min(a.output.size(), b.output.size());
    if (!std::equal(a.output.begin(), a.output.begin() + static_cast<std::ptrdiff_t>(common), b.output.begin()))
        return bName + " decode other bytes than " + aName;
    if (a.capped || b.capped) return {};
    const bool sameInput =
        a.consumed == b.consumed || (decoders == Decoders::Different && a.status != Status::StreamEnd);
    if (a.output.size() != b.output.size() || a.status != b.status || !sameInput)
        return aName + ": " + Describe(a) + "; " + bName + ": " + Describe(b);
    if (decoders == Decoders::Same) return {};
    if (a.broke.has_value() != b.broke.has_value())
        return aName + (a.broke ? " tells" : " does not tell") + " where the stream broke, " + bName +
               (b.broke ? " does" : " does not");
    if (a.broke && (a.broke->certainOutput != b.broke->certainOutput || a.broke->damagedBit != b.broke->damagedBit))
        return aName + " and " + bName + " place the break apart";
    return {};
}

}  // namespace tessaly::fuzz
