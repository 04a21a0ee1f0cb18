// Extraction past damage inside a Deflate entry: a stream broken in its
// middle is searched for where it can be read again, and what follows is
// written at its offset, the lost bytes as zeros and listed as lost. Streams
// are broken at a block header, so that the decoder stops there, then
// followed by a stretch of random bytes. Whatever is found, no byte outside
// the lost ranges may differ from the original.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "archive/ZipArchive.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/DeflateBlocks.h"
#include "tests/support/Encoders.h"

namespace tessaly::archivetest {
namespace {

using testzip::BlockBoundaries;
using testzip::BuildZip;
using testzip::Deflated;

constexpr std::size_t kEntrySize = 1200000;

struct Outcome {
    ExtractReport report;
    Bytes file;
};

Outcome Extract(const Bytes& archive, bool resync) {
    SalvageOptions options;
    options.resync = resync;
    const SalvageRun run(archive, resync ? AdvanceRepair : QuickRepair, options);
    EXPECT_EQ(1u, run.Count());
    if (run.Count() != 1) return {};
    return {run.entries[0].report, run.FileContent("f.bin").value_or(Bytes{})};
}

// Bytes outside `lost` that differ from the original (or lie past it).
std::size_t WrongOutsideLost(const Bytes& file, const Bytes& original, const std::vector<ByteRange>& lost) {
    std::size_t wrong = 0;
    std::size_t range = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        while (range < lost.size() && lost[range].end <= i) ++range;
        if (range < lost.size() && lost[range].start <= i) continue;
        if (i >= original.size() || file[i] != original[i]) ++wrong;
    }
    return wrong;
}

std::uint64_t LostBytes(const std::vector<ByteRange>& lost) {
    std::uint64_t total = 0;
    for (const ByteRange& range : lost) total += range.end - range.start;
    return total;
}

// Breaks the header of a block `which` of the way through the stream (1:
// the last block with data) and fills the `length - 1` bytes after its byte with
// random ones.
void Damage(Bytes& archive, std::size_t dataStart, const std::vector<testzip::BlockBoundary>& blocks, double which,
            std::size_t length, unsigned seed) {
    // The last two boundaries are those of zlib's empty closing block.
    const std::uint64_t bit = blocks[static_cast<std::size_t>(which * static_cast<double>(blocks.size() - 3))].bit;
    Bytes stream(archive.begin() + static_cast<std::ptrdiff_t>(dataStart), archive.end());
    testzip::BreakBlockHeader(stream, bit);
    std::mt19937 random(seed);
    // The random bytes start after the header's last byte.
    const std::size_t after = static_cast<std::size_t>((bit + 3 + 7) / 8);
    for (std::size_t i = 0; i + 1 < length; ++i) stream[after + i] = random() & 0xFF;
    std::copy(stream.begin(), stream.end(), archive.begin() + static_cast<std::ptrdiff_t>(dataStart));
}

struct Damaged {
    Bytes original;
    Bytes archive;
};

Damaged MakeDamaged(const Bytes& original, bool streamed, std::vector<double> where, std::size_t length) {
    auto entry = Deflated("f.bin", original);
    entry.streamed = streamed;
    testzip::BuiltZip zip = BuildZip({entry});
    const auto& layout = zip.entries[0];
    const Bytes stream(zip.bytes.begin() + static_cast<std::ptrdiff_t>(layout.dataStart),
                       zip.bytes.begin() + static_cast<std::ptrdiff_t>(layout.dataEnd));
    const auto blocks = BlockBoundaries(stream);
    EXPECT_GE(blocks.size(), 6u) << "the entry needs several blocks";
    unsigned seed = 1;
    for (double w : where) Damage(zip.bytes, layout.dataStart, blocks, w, length, seed++);
    return {original, zip.bytes};
}

enum class Content { Text, Noise };

using Case = std::tuple<Content, std::size_t, bool>;  // content, damage length, streamed

class PastTheDamage : public ::testing::TestWithParam<Case> {};

TEST_P(PastTheDamage, TheTailLandsAtItsOffsetAndNothingOutsideLostIsWrong) {
    const auto [content, length, streamed] = GetParam();
    const Bytes original =
        content == Content::Text ? testzip::TextContent("resync", kEntrySize) : testzip::NoiseContent(7, kEntrySize);
    const Damaged damaged = MakeDamaged(original, streamed, {0.5}, length);

    const Outcome before = Extract(damaged.archive, false);
    const Outcome after = Extract(damaged.archive, true);
    ASSERT_EQ(ExtractOutcome::Damaged, before.report.outcome);
    ASSERT_EQ(ExtractOutcome::Damaged, after.report.outcome);

    // Without the search: the bytes before the damage, as always, with the
    // damaged block's output lost.
    ASSERT_EQ(1u, before.report.lost.size());
    EXPECT_EQ(before.file.size(), before.report.lost[0].end);
    EXPECT_EQ(0u, WrongOutsideLost(before.file, original, before.report.lost));

    // With it: the whole length, the tail at its true offset.
    EXPECT_EQ(original.size(), after.file.size()) << after.report.detail;
    EXPECT_EQ(after.file.size(), after.report.bytesWritten);
    EXPECT_EQ(0u, WrongOutsideLost(after.file, original, after.report.lost));
    EXPECT_EQ(before.report.lost[0].start, after.report.lost[0].start) << "the same bytes before the damage are kept";
    EXPECT_NE(std::string::npos, after.report.detail.find("bytes after them recovered")) << after.report.detail;
    const std::uint64_t recovered = original.size() - LostBytes(after.report.lost) - before.report.lost[0].start;
    EXPECT_GT(recovered, 0u);
    // Stored blocks (noise) copy nothing from the lost window: all of the
    // tail is certain.
    if (content == Content::Noise) {
        EXPECT_GT(recovered, original.size() / 3) << after.report.detail;
    }
    EXPECT_EQ(testzip::Crc32(after.file), after.report.crc32);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const auto [content, length, streamed] = info.param;
    return std::string(content == Content::Text ? "Text" : "Noise") + std::to_string(length) +
           (streamed ? "Streamed" : "");
}

INSTANTIATE_TEST_SUITE_P(Entries, PastTheDamage,
                         ::testing::Combine(::testing::Values(Content::Text, Content::Noise),
                                            ::testing::Values(std::size_t{1}, std::size_t{1024}, std::size_t{4096}),
                                            ::testing::Values(false, true)),
                         CaseName);

// Damage inside a block of dynamic codes, which zlib mostly reads through
// without an error: the stream, written by zlib, is compressed again to
// find where it differs. Only damage that changed the length is placed (a
// change that keeps it may be one zlib itself writes so); the rest keeps its
// whole file lost.
TEST(PastTheDamage, DamageReadThroughIsFoundInAStreamZlibWrote) {
    const Bytes original = testzip::TextContent("read through", kEntrySize);
    int placed = 0;
    for (const std::size_t length : {std::size_t{1}, std::size_t{64}, std::size_t{1024}}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE("damage of " + std::to_string(length) + " bytes, seed " + std::to_string(seed));
            testzip::BuiltZip zip = BuildZip({Deflated("f.bin", original)});
            const auto& layout = zip.entries[0];
            std::mt19937 random(seed);
            const std::size_t at = layout.dataStart + (layout.dataEnd - layout.dataStart) * (40 + 5 * seed) / 100;
            for (std::size_t i = 0; i < length; ++i) zip.bytes[at + i] = random() & 0xFF;
            const Outcome before = Extract(zip.bytes, false);
            const Outcome after = Extract(zip.bytes, true);
            ASSERT_EQ(ExtractOutcome::Damaged, after.report.outcome);
            EXPECT_EQ(0u, WrongOutsideLost(after.file, original, after.report.lost));
            ASSERT_FALSE(after.report.lost.empty());
            if (before.file.size() == original.size()) {
                EXPECT_EQ((ByteRange{0, original.size()}), after.report.lost.front());
                continue;
            }
            EXPECT_EQ(original.size(), after.file.size()) << after.report.detail;
            EXPECT_GT(after.report.lost.front().start, 0u) << "the bytes before the damaged block are certain";
            ++placed;
        }
    }
    EXPECT_GE(placed, 3);
}

TEST(PastTheDamage, TwoDamagedStretchesKeepTheTailAfterTheSecond) {
    const Bytes original = testzip::NoiseContent(9, kEntrySize);
    const Damaged damaged = MakeDamaged(original, false, {0.3, 0.7}, 1024);
    const Outcome after = Extract(damaged.archive, true);
    ASSERT_EQ(ExtractOutcome::Damaged, after.report.outcome);
    EXPECT_EQ(original.size(), after.file.size()) << after.report.detail;
    EXPECT_EQ(0u, WrongOutsideLost(after.file, original, after.report.lost));
    EXPECT_GT(original.size() - LostBytes(after.report.lost), original.size() / 2) << after.report.detail;
}

TEST(PastTheDamage, DamageInTheFirstBlockKeepsEverythingAfterIt) {
    const Bytes original = testzip::TextContent("first", kEntrySize);
    testzip::BuiltZip zip = BuildZip({Deflated("f.bin", original)});
    const std::size_t start = zip.entries[0].dataStart;
    Bytes stream(zip.bytes.begin() + static_cast<std::ptrdiff_t>(start), zip.bytes.end());
    testzip::BreakBlockHeader(stream, 0);
    std::copy(stream.begin(), stream.end(), zip.bytes.begin() + static_cast<std::ptrdiff_t>(start));
    const Outcome before = Extract(zip.bytes, false);
    const Outcome after = Extract(zip.bytes, true);
    EXPECT_TRUE(before.file.empty());
    ASSERT_EQ(ExtractOutcome::Damaged, after.report.outcome);
    EXPECT_EQ(original.size(), after.file.size()) << after.report.detail;
    EXPECT_EQ(0u, WrongOutsideLost(after.file, original, after.report.lost));
    ASSERT_FALSE(after.report.lost.empty());
    EXPECT_EQ(0u, after.report.lost[0].start);
    EXPECT_GT(original.size(), LostBytes(after.report.lost));
}

TEST(PastTheDamage, DamageInTheLastBlockLeavesTheOutputAsItWas) {
    const Bytes original = testzip::NoiseContent(11, kEntrySize);
    const Damaged damaged = MakeDamaged(original, false, {1.0}, 16);
    const Outcome before = Extract(damaged.archive, false);
    const Outcome after = Extract(damaged.archive, true);
    EXPECT_EQ(before.file, after.file);
    EXPECT_EQ(before.report.lost, after.report.lost);
    EXPECT_NE(std::string::npos, after.report.detail.find("; ")) << after.report.detail;
}

TEST(PastTheDamage, HealthyAndUndetectedDamageAreNeverCalledCertainWrongly) {
    const Bytes original = testzip::NoiseContent(13, kEntrySize);
    testzip::BuiltZip zip = BuildZip({Deflated("f.bin", original)});
    const Outcome healthy = Extract(zip.bytes, true);
    EXPECT_EQ(ExtractOutcome::Ok, healthy.report.outcome);
    EXPECT_TRUE(healthy.report.lost.empty());
    EXPECT_EQ(original, healthy.file);

    // A byte changed inside a stored block: every decoder reads through it,
    // and only the CRC-32 tells. Where the damage lies is not known, so
    // nothing written is certain.
    zip.bytes[zip.entries[0].dataStart + kEntrySize / 2] ^= 0x55;
    const Outcome undetected = Extract(zip.bytes, true);
    EXPECT_EQ(ExtractOutcome::Damaged, undetected.report.outcome);
    ASSERT_EQ(1u, undetected.report.lost.size());
    EXPECT_EQ((ByteRange{0, undetected.file.size()}), undetected.report.lost[0]);
}

}  // namespace
}  // namespace tessaly::archivetest

namespace tessaly::archivetest {
namespace {

// Deflate64 reads on past damage as Deflate does, with its own decoder: a
// stream of stored blocks and blocks of fixed codes, one header broken.
TEST(PastTheDamage, Deflate64TailLandsAtItsOffset) {
    Bytes original;
    testzip::Deflate64Writer writer;
    std::vector<std::uint64_t> blocks;
    for (unsigned i = 0; i < 8; ++i) {
        const Bytes noise = testzip::NoiseContent(30 + i, 20000);
        blocks.push_back(writer.BitCount());
        writer.StoredBlock(noise, false);
        original.insert(original.end(), noise.begin(), noise.end());
        blocks.push_back(writer.BitCount());
        writer.FixedBlock(false);  // a short block of matches reaching back 20000 bytes
        for (unsigned k = 0; k < 40; ++k) writer.Match(500, 20000);
        writer.EndOfBlock();
        for (unsigned k = 0; k < 40 * 500; ++k) {
            const std::uint8_t copied = original[original.size() - 20000];
            original.push_back(copied);
        }
    }
    writer.FixedBlock(true);
    writer.EndOfBlock();
    auto entry = testzip::Stored("f.bin", original);
    entry.rawData = writer.Finish();
    entry.methodOverride = 9;
    testzip::BuiltZip zip = BuildZip({entry});
    Bytes& bytes = zip.bytes;
    Bytes stream(bytes.begin() + static_cast<std::ptrdiff_t>(zip.entries[0].dataStart), bytes.end());
    testzip::BreakBlockHeader(stream, blocks[6]);  // the fourth stored block
    std::copy(stream.begin(), stream.end(), bytes.begin() + static_cast<std::ptrdiff_t>(zip.entries[0].dataStart));

    const Outcome before = Extract(bytes, false);
    const Outcome after = Extract(bytes, true);
    ASSERT_EQ(ExtractOutcome::Damaged, after.report.outcome);
    ASSERT_EQ(1u, before.report.lost.size()) << "the damaged block's start is known";
    EXPECT_EQ(original.size(), after.file.size()) << after.report.detail;
    EXPECT_EQ(0u, WrongOutsideLost(before.file, original, before.report.lost));
    EXPECT_EQ(0u, WrongOutsideLost(after.file, original, after.report.lost));
    // The stored blocks after the damage are certain; the matches copying
    // from before it are not.
    EXPECT_LT(LostBytes(after.report.lost), original.size() / 2) << after.report.detail;
}

// BZip2 blocks stand alone: damage in one of them must not cost the blocks
// after it.
TEST(PastTheDamage, BZip2KeepsTheBlocksAfterADamagedOne) {
    const Bytes original = testzip::TextContent("bzip2", 500000);
    testzip::BuiltZip zip = BuildZip({testzip::Compressed(testzip::Codec::BZip2, "f.bin", original)});
    const auto& layout = zip.entries[0];
    const std::size_t middle = (layout.dataStart + layout.dataEnd) / 2;
    for (std::size_t i = 0; i < 16; ++i) zip.bytes[middle + i] ^= 0xA5;
    const Outcome after = Extract(zip.bytes, true);
    ASSERT_EQ(ExtractOutcome::Damaged, after.report.outcome);
    EXPECT_EQ(original.size(), after.file.size()) << after.report.detail;
    EXPECT_EQ(0u, WrongOutsideLost(after.file, original, after.report.lost));
    // One block of 100 000 bytes is lost, the damaged one.
    EXPECT_LE(LostBytes(after.report.lost), 100000u) << after.report.detail;
}

}  // namespace
}  // namespace tessaly::archivetest
