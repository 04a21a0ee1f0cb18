#include "fuzz/Deflate64Target.h"

#include <algorithm>
#include <string>
#include <utility>

#include "archive/methods/Deflate64Decompressor.h"

namespace tessaly::fuzz {
namespace {

using Status = Decompressor::Status;

// A Deflate64 match copies up to 65538 bytes from a few bits, so a small
// input can stand for a great deal of output: this much is compared.
constexpr std::size_t kOutputCap = std::size_t{2} << 20;
constexpr std::size_t kWholeBuffer = std::size_t{256} << 10;
// In pieces of a few bytes each call costs more: the comparison there stops
// sooner.
constexpr std::size_t kPiecesCap = std::size_t{512} << 10;

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

void Drain(Deflate64Decompressor& decoder, std::vector<std::uint8_t>& buffer, Deflate64Result& result,
           std::size_t cap) {
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

std::string Describe(const Deflate64Result& r) {
    return std::to_string(r.output.size()) + " bytes, " + StatusName(r.status) + ", " + std::to_string(r.consumed) +
           " taken";
}

}  // namespace

Deflate64Result DecodeDeflate64(const std::uint8_t* stream, std::size_t size, std::size_t inPiece, std::size_t outPiece,
                                std::size_t cap) {
    Deflate64Decompressor decoder;
    Deflate64Result result;
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
    if (result.consumed != size) {
        result.fault = "decoder left " + std::to_string(size - result.consumed) + " bytes of a running stream";
        return result;
    }
    Drain(decoder, buffer, result, cap);
    return result;
}

std::string CheckDeflate64(const std::uint8_t* data, std::size_t size, Deflate64Result* decoded) {
    // The first two bytes choose the pieces: 1 to 64 bytes of input, 1 to
    // 4096 of output (odd sizes cut codes, extra bits and matches anywhere).
    if (size < 2) return {};
    const std::size_t inPiece = 1 + data[0] % 64;
    const std::size_t outPiece = 1 + (data[1] * 16 + data[0] / 64) % 4096;
    const std::string pieces = "pieces of " + std::to_string(inPiece) + "/" + std::to_string(outPiece);
    const std::uint8_t* stream = data + 2;
    const std::size_t length = size - 2;

    Deflate64Result whole = DecodeDeflate64(stream, length, length + 1, kWholeBuffer, kOutputCap);
    if (!whole.fault.empty()) return "whole stream: " + whole.fault;
    const Deflate64Result cut = DecodeDeflate64(stream, length, inPiece, outPiece, kPiecesCap);
    if (!cut.fault.empty()) return pieces + ": " + cut.fault;
    const std::size_t common = std::min(whole.output.size(), cut.output.size());
    if (!std::equal(whole.output.begin(), whole.output.begin() + static_cast<std::ptrdiff_t>(common),
                    cut.output.begin()))
        return pieces + " decode other bytes than the whole stream";
    if (!whole.capped && !cut.capped &&
        (whole.output.size() != cut.output.size() || whole.status != cut.status || whole.consumed != cut.consumed))
        return "whole stream: " + Describe(whole) + "; " + pieces + ": " + Describe(cut);
    if (decoded != nullptr) *decoded = std::move(whole);
    return {};
}

}  // namespace tessaly::fuzz
