// The Deflate decoder that uses ISA-L (IsalInflater) against zlib's
// (ZlibInflater), both driven the way the entry decoder drives them: input
// offered in pieces of a given size, what is not consumed offered again,
// the piece grown when nothing moves, DrainAtEnd once the input has ended.
// Healthy streams must come out byte for byte; damaged and cut ones must
// give exactly the bytes, the end, the status and the break zlib gives.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/methods/DeflateBlockHeader.h"
#include "archive/methods/IsalInflater.h"
#include "archive/methods/ZlibInflater.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::archivetest {
namespace {

using testzip::Bytes;

struct Outcome {
    Bytes output;
    Decompressor::Status status = Decompressor::Status::Running;
    bool drained = false;      // the input ended first
    std::size_t consumed = 0;  // input the stream took
    std::optional<StreamBreak> broke;
};

Outcome Drive(Decompressor& decoder, const Bytes& input, std::size_t piece, std::size_t outputPiece) {
    Outcome outcome;
    std::vector<std::uint8_t> out(outputPiece);
    std::size_t start = 0, offered = 0;
    for (;;) {
        offered = std::min(std::max(offered, piece), input.size() - start);
        const Decompressor::Step step = decoder.Decode(input.data() + start, offered, out.data(), out.size());
        outcome.output.insert(outcome.output.end(), out.begin(), out.begin() + static_cast<long>(step.produced));
        start += step.consumed;
        offered -= step.consumed;
        if (step.status != Decompressor::Status::Running) {
            outcome.status = step.status;
            outcome.broke = decoder.Break();
            break;
        }
        if (step.consumed == 0 && step.produced == 0) {
            if (start + offered == input.size()) {
                outcome.drained = true;
                for (std::size_t n; (n = decoder.DrainAtEnd(out.data(), out.size())) > 0;) {
                    outcome.output.insert(outcome.output.end(), out.begin(), out.begin() + static_cast<long>(n));
                }
                break;
            }
            if (offered == piece) piece *= 2;  // as the entry decoder grows its buffer
        }
    }
    outcome.consumed = start;
    return outcome;
}

Bytes Deflate(const Bytes& data, int level, int strategy = Z_DEFAULT_STRATEGY) {
    return testzip::RawDeflate(data, level, strategy);
}

Bytes Words(std::uint32_t seed, std::size_t size) {
    static const char* const kWords[] = {"salvage ", "archive ", "entry ", "deflate ", "block\n", "header, ", "zip. "};
    std::mt19937 random(seed);
    Bytes out;
    while (out.size() < size) {
        const std::string word = kWords[random() % 7];
        out.insert(out.end(), word.begin(), word.end());
        if (random() % 5 == 0) out.push_back(static_cast<std::uint8_t>('0' + random() % 10));
    }
    out.resize(size);
    return out;
}

// Text, then noise (stored blocks at every level), then text again.
Bytes Mixed(std::uint32_t seed, std::size_t size) {
    Bytes out = Words(seed, size / 3);
    const Bytes noise = testzip::NoiseContent(seed, size / 3);
    out.insert(out.end(), noise.begin(), noise.end());
    const Bytes more = Words(seed + 1, size - out.size());
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

// Runs of 258 bytes copied from exactly 32 768 bytes back.
Bytes FarMatches(std::size_t size) {
    Bytes out = testzip::NoiseContent(7, 32768);
    while (out.size() < size) out.push_back(out[out.size() - 32768]);
    return out;
}

void ExpectSame(const Outcome& zlib, const Outcome& isal, const std::string& what) {
    ASSERT_EQ(zlib.output.size(), isal.output.size()) << what;
    ASSERT_TRUE(zlib.output == isal.output) << what << ": the bytes differ";
    EXPECT_EQ(zlib.status, isal.status) << what;
    EXPECT_EQ(zlib.drained, isal.drained) << what;
    if (zlib.status == Decompressor::Status::StreamEnd) {
        EXPECT_EQ(zlib.consumed, isal.consumed) << what;
    }
    ASSERT_EQ(zlib.broke.has_value(), isal.broke.has_value()) << what;
    if (zlib.broke) {
        EXPECT_EQ(zlib.broke->certainOutput, isal.broke->certainOutput) << what;
        EXPECT_EQ(zlib.broke->damagedBit, isal.broke->damagedBit) << what;
    }
}

void Compare(const Bytes& stream, std::size_t piece, std::size_t outputPiece, const std::string& what,
             std::uint64_t* isalBytes = nullptr) {
    ZlibInflater zlib;
    IsalInflater isal;
    const Outcome expected = Drive(zlib, stream, piece, outputPiece);
    const Outcome got = Drive(isal, stream, piece, outputPiece);
    ExpectSame(expected, got, what + ", pieces " + std::to_string(piece) + "/" + std::to_string(outputPiece));
    if (isalBytes != nullptr) *isalBytes += isal.IsalOutput();
}

TEST(IsalInflate, HealthyStreamsAtEveryLevelAndStrategyComeOutExact) {
    const Bytes contents[] = {Words(1, 400000), Mixed(2, 400000), FarMatches(300000), testzip::NoiseContent(3, 200000)};
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE};
    std::uint64_t isalBytes = 0;
    for (const Bytes& content : contents)
        for (int level = 0; level <= 9; ++level)
            for (int strategy : strategies) {
                if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
                const Bytes stream = Deflate(content, level, strategy);
                const std::string what = "level " + std::to_string(level) + " strategy " + std::to_string(strategy);
                ZlibInflater zlib;
                const Outcome expected = Drive(zlib, stream, 65536, 65536);
                ASSERT_TRUE(expected.output == content) << what;
                Compare(stream, 65536, 65536, what, &isalBytes);
            }
    EXPECT_GT(isalBytes, 0u) << "ISA-L decoded nothing";
}

TEST(IsalInflate, HealthyStreamsInOddPiecesComeOutExact) {
    const Bytes stream = Deflate(Mixed(4, 150000), 6);
    for (std::size_t piece : {1, 7, 300, 4093})
        for (std::size_t outputPiece : {1, 13, 4093, 1 << 20}) {
            if (piece == 1 && outputPiece == 1) continue;  // the slowest pair adds nothing the others miss
            Compare(stream, piece, outputPiece, "mixed");
        }
    Compare(Deflate(FarMatches(200000), 9), 5, 258, "far matches");
}

// A stream followed by other bytes (the next record) ends where zlib says.
TEST(IsalInflate, StreamEndIsFoundExactlyWithBytesAfterIt) {
    Bytes stream = Deflate(Words(5, 120000), 6);
    const std::size_t length = stream.size();
    const Bytes after = {0x50, 0x4b, 0x03, 0x04, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    stream.insert(stream.end(), after.begin(), after.end());
    Bytes small = Deflate(testzip::NoiseContent(12, 30000), 6);  // stored blocks, zlib's alone
    const std::size_t smallLength = small.size();
    small.insert(small.end(), after.begin(), after.end());
    for (std::size_t piece : {3, 1000, 65536})
        for (std::size_t outputPiece : {1, 8192, 16385}) {
            IsalInflater isal;
            const Outcome got = Drive(isal, stream, piece, outputPiece);
            EXPECT_EQ(got.status, Decompressor::Status::StreamEnd);
            EXPECT_EQ(got.consumed, length) << "piece " << piece << "/" << outputPiece;
            IsalInflater second;
            const Outcome gotSmall = Drive(second, small, piece, outputPiece);
            EXPECT_EQ(gotSmall.status, Decompressor::Status::StreamEnd);
            EXPECT_EQ(gotSmall.consumed, smallLength) << "piece " << piece << "/" << outputPiece;
        }
    // Nothing after it at all: the end is still found.
    stream.resize(length);
    IsalInflater isal;
    EXPECT_EQ(Drive(isal, stream, 65536, 65536).status, Decompressor::Status::StreamEnd);
}

// Cut at every byte of an entry that spans several blocks of both decoders.
TEST(IsalInflate, EveryCutKeepsWhatZlibKeeps) {
    Bytes content = Words(6, 40000);
    const Bytes tail = Mixed(7, 60000);
    content.insert(content.end(), tail.begin(), tail.end());
    const Bytes stream = Deflate(content, 9);
    for (std::size_t cut = 0; cut <= stream.size(); cut += (cut > 4000 && cut + 2000 < stream.size()) ? 3 : 1) {
        const Bytes cutStream(stream.begin(), stream.begin() + static_cast<long>(cut));
        Compare(cutStream, cut % 2 ? 4093 : 65536, 65536, "cut at " + std::to_string(cut));
        if (HasFailure()) return;
    }
}

enum class Damage { FlipBit, ZeroRun, Garbage, Cut };

Bytes Damaged(const Bytes& stream, Damage damage, std::mt19937& random) {
    Bytes out = stream;
    const std::size_t at = random() % out.size();
    switch (damage) {
        case Damage::FlipBit: out[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
        case Damage::ZeroRun:
            std::fill(out.begin() + static_cast<long>(at),
                      out.begin() + static_cast<long>(std::min(out.size(), at + 1 + random() % 32)), 0);
            break;
        case Damage::Garbage:
            for (std::size_t i = at; i < std::min(out.size(), at + 1 + random() % 64); ++i)
                out[i] = static_cast<std::uint8_t>(random());
            break;
        case Damage::Cut: out.resize(at); break;
    }
    return out;
}

// Random damage of every kind to streams of every block kind, read in
// pieces of several sizes: the kept bytes are zlib's, to the byte.
TEST(IsalInflate, DamagedStreamsKeepExactlyWhatZlibKeeps) {
    std::mt19937 random(11);
    const Bytes contents[] = {Words(8, 150000), Mixed(9, 150000), FarMatches(120000)};
    const std::size_t pieces[] = {65536, 4093, 300, 7};
    int trial = 0;
    for (const Bytes& content : contents)
        for (int level : {1, 6, 9})
            for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
                const Bytes stream = Deflate(content, level, strategy);
                for (Damage damage : {Damage::FlipBit, Damage::ZeroRun, Damage::Garbage, Damage::Cut})
                    for (int i = 0; i < 12; ++i, ++trial) {
                        const Bytes bad = Damaged(stream, damage, random);
                        Compare(
                            bad, pieces[trial % 4], trial % 3 ? 65536 : 1000,
                            "trial " + std::to_string(trial) + " damage " + std::to_string(static_cast<int>(damage)));
                        if (HasFailure()) return;
                    }
            }
}

// Each header kind ISA-L is or is not given, read from bits at every offset.
TEST(DeflateBlockHeader, TellsCleanHeadersFromTheRest) {
    const Bytes text = Words(10, 5000);
    struct Case {
        Bytes stream;
        DeflateBlockHeader::Kind kind;
        bool clean;
    };
    std::vector<Case> cases = {
        {Deflate(text, 6), DeflateBlockHeader::Kind::Dynamic, true},
        {Deflate(text, 6, Z_FIXED), DeflateBlockHeader::Kind::Fixed, false},
        {Deflate(text, 0), DeflateBlockHeader::Kind::Stored, true},
    };
    Bytes badStored = Deflate(text, 0);
    badStored[3] ^= 1;  // LEN no longer the complement of NLEN
    cases.push_back({badStored, DeflateBlockHeader::Kind::Stored, false});
    Bytes typeThree = Deflate(text, 6);
    typeThree[0] |= 6;
    cases.push_back({typeThree, DeflateBlockHeader::Kind::Invalid, false});
    Bytes tooManyCodes = Deflate(text, 6);
    tooManyCodes[0] |= 0xF8;  // 288 literal/length codes
    cases.push_back({tooManyCodes, DeflateBlockHeader::Kind::Invalid, false});
    for (const Case& c : cases)
        for (unsigned shift = 0; shift < 8; ++shift) {
            // The same bits, starting `shift` bits into the first byte (a
            // stored block's lengths are byte-aligned: not moved).
            if (c.kind == DeflateBlockHeader::Kind::Stored && shift != 0) break;
            Bytes shifted(c.stream.size() + 1, 0);
            for (std::size_t bit = 0; bit < c.stream.size() * 8; ++bit)
                if ((c.stream[bit / 8] >> (bit % 8)) & 1) shifted[(bit + shift) / 8] |= 1u << ((bit + shift) % 8);
            const DeflateBlockHeader header = ReadDeflateBlockHeader(shifted.data(), shifted.size(), shift);
            EXPECT_EQ(header.kind, c.kind) << "shift " << shift;
            EXPECT_EQ(header.clean, c.clean) << "shift " << shift;
            if (c.kind == DeflateBlockHeader::Kind::Stored || c.kind == DeflateBlockHeader::Kind::Dynamic) {
                EXPECT_EQ(ReadDeflateBlockHeader(shifted.data(), 1, shift).kind, DeflateBlockHeader::Kind::NeedMore);
            }
        }
}

}  // namespace
}  // namespace tessaly::archivetest
