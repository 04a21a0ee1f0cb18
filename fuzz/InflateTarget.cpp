#include "fuzz/InflateTarget.h"

#include <utility>

#include "archive/methods/IsalInflater.h"
#include "archive/methods/ZlibInflater.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::fuzz {
namespace {

// Deflate expands at most 1032 times: a few kilobytes of input can stand
// for megabytes, of which this much is compared.
constexpr std::size_t kOutputCap = std::size_t{4} << 20;
constexpr std::size_t kWholeBuffer = std::size_t{256} << 10;
constexpr std::size_t kPiecesCap = std::size_t{1} << 20;

// A stored block, not the last, holding the prefix text; the fuzz input
// follows it at a byte boundary.
std::vector<std::uint8_t> WithPrefix(const std::uint8_t* stream, std::size_t size) {
    static const std::vector<std::uint8_t> prefix = [] {
        testzip::Deflate64Writer writer(true);
        writer.StoredBlock(InflatePrefixText(), false);
        return writer.Finish();
    }();
    std::vector<std::uint8_t> whole = prefix;
    whole.insert(whole.end(), stream, stream + size);
    return whole;
}

}  // namespace

std::vector<std::uint8_t> InflatePrefixText() { return testzip::TextContent("inflate", kInflatePrefixSize); }

std::string CheckInflate(const std::uint8_t* data, std::size_t size, DecodeResult* isalDecoded,
                         std::uint64_t* isalBytes) {
    if (size < 2) return {};
    const Pieces chosen = PiecesFrom(data[0], data[1]);
    const std::vector<std::uint8_t> stream = WithPrefix(data + 2, size - 2);

    ZlibInflater zlib;
    const DecodeResult reference =
        DecodeInPieces(zlib, stream.data(), stream.size(), stream.size() + 1, kWholeBuffer, kOutputCap);
    if (!reference.fault.empty()) return "zlib: " + reference.fault;
    IsalInflater isal;
    DecodeResult whole = DecodeInPieces(isal, stream.data(), stream.size(), stream.size() + 1, kWholeBuffer, kOutputCap,
                                        IsalInflater::kUntakenAtCut);
    if (!whole.fault.empty()) return "ISA-L, whole: " + whole.fault;
    std::string differs = Disagreement(reference, "zlib", whole, "ISA-L", Decoders::Different);
    if (!differs.empty()) return differs;
    IsalInflater isalInPieces;
    const DecodeResult cut = DecodeInPieces(isalInPieces, stream.data(), stream.size(), chosen.in, chosen.out,
                                            kPiecesCap, IsalInflater::kUntakenAtCut);
    if (!cut.fault.empty()) return "ISA-L, " + chosen.name + ": " + cut.fault;
    differs = Disagreement(reference, "zlib", cut, "ISA-L in " + chosen.name, Decoders::Different);
    if (!differs.empty()) return differs;
    if (isalBytes != nullptr) *isalBytes = isal.IsalOutput();
    if (isalDecoded != nullptr) *isalDecoded = std::move(whole);
    return {};
}

}  // namespace tessaly::fuzz
