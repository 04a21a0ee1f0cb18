// Picking a raw Deflate stream up again after damage in its middle: the
// search for a block where decoding can resume, and the tail decoded from
// there with its uncertain bytes marked. Streams made by zlib from text and
// from noise, damaged at known places; every place found must be a block
// boundary of the intact stream, and every byte called certain must be the
// original's.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "archive/resync/DeflateResync.h"
#include "archive/resync/ResyncTail.h"
#include "tests/support/DeflateBlocks.h"
#include "tests/support/ZipWriter.h"

namespace tessaly {
namespace {

using testzip::Bytes;

using Boundary = testzip::BlockBoundary;
using testzip::BlockBoundaries;

struct Break {
    std::uint64_t bit = 0;     // where zlib had read to when it failed
    std::uint64_t output = 0;  // bytes it gave before
    bool broke = false;
};

Break PlainInflate(const Bytes& stream) {
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    Bytes sink(1 << 16);
    int code = Z_OK;
    while (code == Z_OK) {
        z.next_out = sink.data();
        z.avail_out = static_cast<uInt>(sink.size());
        code = inflate(&z, Z_NO_FLUSH);
    }
    Break result{static_cast<std::uint64_t>(z.next_in - stream.data()) * 8, z.total_out, code != Z_STREAM_END};
    inflateEnd(&z);
    return result;
}

struct Stretch {
    DeflateResync::Result search;
    Bytes bytes;
    std::vector<ResyncTail::Range> uncertain;
    ResyncTail::Status status = ResyncTail::Status::Running;
};

Stretch DecodeStretch(const Bytes& stream, const DeflateResync::Result& search) {
    Stretch stretch{search, {}, {}, ResyncTail::Status::Running};
    const std::uint64_t end = search.outcome == DeflateResync::Outcome::ToBreak ? search.endBit : ~std::uint64_t{0};
    ResyncTail tail(stream.data(), stream.size(), search.startBit, end);
    Bytes piece(100000);  // not a multiple of the tail's own step
    while (stretch.status == ResyncTail::Status::Running) {
        const auto step = tail.Next(piece.data(), piece.size(), stretch.uncertain);
        stretch.bytes.insert(stretch.bytes.end(), piece.begin(),
                             piece.begin() + static_cast<std::ptrdiff_t>(step.produced));
        stretch.status = step.status;
    }
    return stretch;
}

// Every stretch that can be found from `fromBit` on, each search starting
// where the last stretch ended.
std::vector<Stretch> Salvage(const Bytes& stream, std::uint64_t fromBit, const DeflateResync::Limits& limits = {}) {
    std::vector<Stretch> stretches;
    DeflateResync resync(stream.data(), stream.size(), limits);
    for (;;) {
        const auto search = resync.Search(fromBit);
        if (!search.Found()) break;
        stretches.push_back(DecodeStretch(stream, search));
        if (search.outcome == DeflateResync::Outcome::ToStreamEnd) break;
        fromBit = search.endBit + 1;
    }
    return stretches;
}

std::uint64_t CertainBytes(const Stretch& stretch) {
    std::uint64_t uncertain = 0;
    for (const auto& range : stretch.uncertain) uncertain += range.end - range.start;
    return stretch.bytes.size() - uncertain;
}

// Checks that `stretch` starts at a block boundary of the intact stream and
// that its certain bytes are the original's there; returns its certain bytes.
std::uint64_t CheckStretch(const Stretch& stretch, const Bytes& original, const std::vector<Boundary>& boundaries) {
    const auto at = std::find_if(boundaries.begin(), boundaries.end(),
                                 [&](const Boundary& b) { return b.bit == stretch.search.startBit; });
    EXPECT_NE(at, boundaries.end()) << "no block starts at bit " << stretch.search.startBit;
    if (at == boundaries.end()) return 0;
    const std::uint64_t base = at->offset;
    if (stretch.search.outcome == DeflateResync::Outcome::ToStreamEnd) {
        EXPECT_EQ(ResyncTail::Status::Finished, stretch.status);
        EXPECT_EQ(original.size() - base, stretch.bytes.size()) << "the tail ends where the original ends";
    }
    EXPECT_LE(base + stretch.bytes.size(), original.size());
    std::size_t range = 0;
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < stretch.bytes.size() && base + i < original.size(); ++i) {
        while (range < stretch.uncertain.size() && stretch.uncertain[range].end <= i) ++range;
        const bool uncertain = range < stretch.uncertain.size() && stretch.uncertain[range].start <= i;
        if (uncertain)
            wrong += stretch.bytes[i] != ResyncTail::kUncertainFill;
        else
            wrong += stretch.bytes[i] != original[base + i];
    }
    EXPECT_EQ(0u, wrong) << "certain bytes that differ from the original";
    return CertainBytes(stretch);
}

Bytes Zeroed(Bytes stream, std::size_t at, std::size_t count) {
    std::fill_n(stream.begin() + static_cast<std::ptrdiff_t>(at), count, 0);
    return stream;
}

Bytes Flipped(Bytes stream, std::size_t at) {
    stream[at] ^= 0xFF;
    return stream;
}

// Damage inside a block often goes unnoticed by an inflater: its codes fall
// back into step a few symbols later and the stream runs on to its end,
// only longer or shorter. Damage is moved forward from `at` until it breaks
// the stream, as only a break calls for a resynchronisation.
struct Damaged {
    Bytes stream;
    std::size_t at = 0;
    Break broke;
};

Damaged DamageThatBreaks(const Bytes& intact, std::size_t at, std::size_t count, std::size_t step = 257) {
    for (; at + count <= intact.size(); at += step) {
        Damaged damaged{count == 1 ? Flipped(intact, at) : Zeroed(intact, at, count), at, {}};
        damaged.broke = PlainInflate(damaged.stream);
        if (damaged.broke.broke) return damaged;
    }
    ADD_FAILURE() << "no damage from " << at << " breaks the stream";
    return {};
}

struct Case {
    const char* name;
    bool text;
    int level;
    std::size_t damage;  // bytes zeroed (1: one byte flipped)
    // Text copies nearly all of itself, so most bytes after a resumption
    // stay tied to the unknown window; noise is stored and all certain.
    double minShare;
};

class DamagedMiddle : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedMiddle, ResumesAtABlockAndKeepsOnlyTrueBytesCertain) {
    const Case c = GetParam();
    const Bytes original = c.text ? testzip::TextContent("resync", 3 << 20) : testzip::NoiseContent(7, 1 << 20);
    const Bytes intact = testzip::RawDeflate(original, c.level);
    const auto boundaries = BlockBoundaries(intact);
    const Damaged d = DamageThatBreaks(intact, intact.size() / 2, c.damage);
    ASSERT_TRUE(d.broke.broke);
    const Bytes& damaged = d.stream;
    const Break& broke = d.broke;
    const std::size_t at = d.at;

    const auto stretches = Salvage(damaged, broke.bit);
    ASSERT_EQ(1u, stretches.size());
    ASSERT_EQ(DeflateResync::Outcome::ToStreamEnd, stretches[0].search.outcome);
    EXPECT_GT(stretches[0].search.startBit, std::uint64_t{at} * 8);
    const std::uint64_t certain = CheckStretch(stretches[0], original, boundaries);
    const double share = static_cast<double>(certain) / static_cast<double>(original.size() - broke.output);
    std::printf("[ share    ] %s: %.1f%% of the %llu bytes after the break certain, %llu bits searched\n", c.name,
                100 * share, static_cast<unsigned long long>(original.size() - broke.output),
                static_cast<unsigned long long>(stretches[0].search.bitsSearched));
    EXPECT_GT(share, c.minShare);
}

INSTANTIATE_TEST_SUITE_P(Deflate, DamagedMiddle,
                         ::testing::Values(Case{"Text1Flip", true, 6, 1, 0.03}, Case{"Text1K", true, 6, 1024, 0.03},
                                           Case{"Text4K", true, 6, 4096, 0.03}, Case{"TextLevel1", true, 1, 4096, 0.03},
                                           Case{"TextLevel9", true, 9, 1024, 0.03},
                                           Case{"Noise1K", false, 6, 1024, 0.9}, Case{"Noise4K", false, 6, 4096, 0.9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeflateResync, TwoDamagedStretchesGiveTheStretchBetweenAndTheTail) {
    const Bytes original = testzip::TextContent("two", 4 << 20);
    const Bytes intact = testzip::RawDeflate(original, 6);
    const auto boundaries = BlockBoundaries(intact);
    // Each stretch is chosen to break the stream on its own.
    const Damaged late = DamageThatBreaks(intact, intact.size() * 3 / 4, 1024);
    const Damaged early = DamageThatBreaks(intact, intact.size() / 4, 1024);
    const Bytes damaged = Zeroed(early.stream, late.at, 1024);
    const Break broke = PlainInflate(damaged);
    ASSERT_TRUE(broke.broke);
    ASSERT_EQ(early.broke.bit, broke.bit);
    const auto stretches = Salvage(damaged, broke.bit);
    ASSERT_EQ(2u, stretches.size());
    EXPECT_EQ(DeflateResync::Outcome::ToBreak, stretches[0].search.outcome);
    EXPECT_EQ(ResyncTail::Status::Finished, stretches[0].status);
    // The first stretch stops short of the second damage, at a block boundary.
    EXPECT_LT(stretches[0].search.endBit, std::uint64_t{late.at} * 8);
    EXPECT_EQ(DeflateResync::Outcome::ToStreamEnd, stretches[1].search.outcome);
    EXPECT_GT(stretches[1].search.startBit, std::uint64_t{late.at} * 8);
    for (const auto& stretch : stretches) EXPECT_GT(CheckStretch(stretch, original, boundaries), 30000u);
}

TEST(DeflateResync, DamageInTheLastBlockFindsNothingWithinTheBounds) {
    const Bytes original = testzip::TextContent("last", 1 << 20);
    const Bytes intact = testzip::RawDeflate(original, 6);
    const Damaged d = DamageThatBreaks(intact, intact.size() - 300, 64, 3);
    ASSERT_TRUE(d.broke.broke);
    const Bytes& damaged = d.stream;
    const Break& broke = d.broke;
    DeflateResync resync(damaged.data(), damaged.size(), {});
    const auto result = resync.Search(broke.bit);
    EXPECT_EQ(DeflateResync::Outcome::NotFound, result.outcome);
    EXPECT_LE(result.bitsSearched, damaged.size() * 8 - broke.bit);
}

TEST(DeflateResync, RandomBytesAreNeverTakenForAStreamAndTheBoundsHold) {
    const Bytes noise = testzip::NoiseContent(99, 256 << 10);
    DeflateResync::Limits limits;
    limits.searchBytes = 64 << 10;
    DeflateResync bySearch(noise.data(), noise.size(), limits);
    const auto searched = bySearch.Search(0);
    EXPECT_EQ(DeflateResync::Outcome::NotFound, searched.outcome);
    EXPECT_EQ(std::uint64_t{64 << 10} * 8, searched.bitsSearched);

    limits.trialBytes = 4096;
    DeflateResync byBudget(noise.data(), noise.size(), limits);
    const auto budgeted = byBudget.Search(0);
    EXPECT_EQ(DeflateResync::Outcome::Budget, budgeted.outcome);
    EXPECT_LE(budgeted.trialBits, std::uint64_t{4096} * 8 + 64);
}

TEST(DeflateResync, TheCheckpointStopsTheSearch) {
    const Bytes noise = testzip::NoiseContent(5, 256 << 10);
    DeflateResync::Limits limits;
    limits.checkpointBits = 1000;
    DeflateResync resync(noise.data(), noise.size(), limits);
    int calls = 0;
    const auto result = resync.Search(0, [&] { return ++calls < 3; });
    EXPECT_EQ(DeflateResync::Outcome::Stopped, result.outcome);
    EXPECT_EQ(3, calls);
    EXPECT_EQ(3000u, result.bitsSearched);
}

TEST(DeflateResync, AHealthyStreamIsFoundWholeFromItsStart) {
    const Bytes original = testzip::TextContent("whole", 1 << 20);
    const Bytes intact = testzip::RawDeflate(original, 6);
    ASSERT_FALSE(PlainInflate(intact).broke);
    const auto stretches = Salvage(intact, 0);
    ASSERT_EQ(1u, stretches.size());
    EXPECT_EQ(0u, stretches[0].search.startBit);
    EXPECT_EQ(original.size(), stretches[0].bytes.size());
    // With nothing before it, nothing can be uncertain.
    EXPECT_TRUE(stretches[0].uncertain.empty());
    EXPECT_EQ(original, stretches[0].bytes);
}

TEST(DeflateResync, AStrayFinalBlockBeforeTheEndIsRefused) {
    // Two streams back to back: the first one's final block ends well before
    // the data does, so its start must not be taken; the second one's must.
    const Bytes first = testzip::RawDeflate(testzip::TextContent("a", 64 << 10), 6);
    const Bytes second = testzip::RawDeflate(testzip::TextContent("b", 64 << 10), 6);
    Bytes joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    DeflateResync resync(joined.data(), joined.size(), {});
    const auto result = resync.Search(0);
    ASSERT_EQ(DeflateResync::Outcome::ToStreamEnd, result.outcome);
    EXPECT_EQ(std::uint64_t{first.size()} * 8, result.startBit);
}

TEST(ResyncTail, CopiesFromTheUnknownWindowAreUncertainAndFilled) {
    // A block of literals, then text that repeats it: decoded from the
    // second block, the repeats copy from before the start.
    const Bytes original = testzip::TextContent("window", 2 << 20);
    const Bytes intact = testzip::RawDeflate(original, 6);
    const auto boundaries = BlockBoundaries(intact);
    ASSERT_GE(boundaries.size(), 3u);
    const Boundary second = boundaries[1];
    ResyncTail tail(intact.data(), intact.size(), second.bit, ~std::uint64_t{0});
    Bytes out(original.size());
    std::vector<ResyncTail::Range> uncertain;
    std::size_t produced = 0;
    for (;;) {
        const auto step = tail.Next(out.data() + produced, 4096, uncertain);
        produced += step.produced;
        if (step.status != ResyncTail::Status::Running) {
            EXPECT_EQ(ResyncTail::Status::Finished, step.status);
            break;
        }
    }
    ASSERT_EQ(original.size() - second.offset, produced);
    ASSERT_FALSE(uncertain.empty());
    EXPECT_EQ(tail.UncertainBytes(), [&] {
        std::uint64_t n = 0;
        for (std::size_t i = 0; i < uncertain.size(); ++i) {
            n += uncertain[i].end - uncertain[i].start;
            if (i > 0) {
                EXPECT_LT(uncertain[i - 1].end, uncertain[i].start) << "ranges apart and in order";
            }
        }
        return n;
    }());
    Stretch stretch;
    stretch.search.startBit = second.bit;
    stretch.bytes.assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(produced));
    stretch.uncertain = uncertain;
    CheckStretch(stretch, original, boundaries);
}

}  // namespace
}  // namespace tessaly
