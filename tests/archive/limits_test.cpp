// Every entry is read under expansion limits: a ratio to the compressed
// bytes read for it and an absolute size. An entry that would pass either
// is stopped there, keeps what was written and is reported limited; the
// next entry is read as usual. And an output the file system refuses part
// of the way (a full disk) is reported with the length the file has.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"
#include "tests/support/FileSizeLimit.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

std::uint64_t LengthOnDisk(const EntryRun& entry) { return std::filesystem::file_size(entry.report.outputPath); }

// The file holds the start of `content`; read in blocks, for files of many
// megabytes.
bool HoldsStartOf(const std::filesystem::path& path, const Bytes& content) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> block(std::size_t{1} << 20);
    std::size_t at = 0;
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > content.size() - at || !std::equal(block.begin(), block.begin() + got, content.begin() + at))
            return false;
        at += got;
    }
    return in.eof();
}

SalvageOptions Under(const ExpansionLimits& limits, std::size_t bufferSize = 65535) {
    SalvageOptions options;
    options.limits = limits;
    options.bufferSize = bufferSize;
    return options;
}

// The entry was stopped at a limit, and what was written of it is the
// start of its content, as long as the report says.
void ExpectLimited(const SalvageRun& run, const std::string& name, const Bytes& content, const std::string& detail) {
    SCOPED_TRACE(name);
    const EntryRun* entry = run.Find(name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Limited) << entry->report.detail << entry->error;
    EXPECT_NE(entry->report.detail.find(detail), std::string::npos) << entry->report.detail;
    ASSERT_FALSE(entry->report.outputPath.empty());
    EXPECT_EQ(LengthOnDisk(*entry), entry->report.bytesWritten);
    EXPECT_TRUE(HoldsStartOf(entry->report.outputPath, content));
}

class ExpansionLimitsTest : public ::testing::TestWithParam<RepairMode> {};

// A few dozen bytes of BZip2 that expand to 24 MiB of zeros, with no size
// declared anywhere (streamed, the central directory gone): the default
// ratio stops it once its free 16 MiB are written. It goes through the
// background writer, as every entry of unknown size does.
TEST_P(ExpansionLimitsTest, AnUnknownSizeBZip2BombIsStoppedByTheDefaultRatio) {
    if (!HaveEncoder(Codec::BZip2) || !IsReadableMethod(12)) GTEST_SKIP() << "BZip2 is not in this build";
    const Bytes zeros(24u << 20, 0);
    EntryToWrite bomb = Compressed(Codec::BZip2, "bomb.bin", zeros);
    bomb.streamed = true;
    const std::vector<EntryToWrite> inputs = {bomb, Deflated("after.txt", "after")};
    BuiltZip zip = BuildZip(inputs);
    ASSERT_LT(zip.entries[0].compressedSize, 200u);
    DropCentralDirectory(zip);

    SalvageRun run(zip.bytes, GetParam());
    ASSERT_EQ(run.Count(), 2u);
    ExpectLimited(run, "bomb.bin", zeros, "expansion limit reached");
    EXPECT_EQ(run.Find("bomb.bin")->report.bytesWritten, ExpansionLimits::kDefaultRatioFreeSize);
    EXPECT_TRUE(IsIntact(run, "after.txt", inputs[1].data));

    // Raised, the same entry is written whole: its data descriptor vouches for it.
    ExpansionLimits raised;
    raised.ratio = 10000000;
    SalvageRun whole(zip.bytes, GetParam(), Under(raised));
    const EntryRun* entry = whole.Find("bomb.bin");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Ok) << entry->report.detail;
    EXPECT_EQ(entry->report.bytesWritten, zeros.size());
    EXPECT_EQ(entry->report.crc32, Crc32(zeros));
    EXPECT_EQ(LengthOnDisk(*entry), zeros.size());
}

// The ratio counts the compressed bytes read so far: a stream that passes
// it is stopped within ratio times its compressed size, one that stays
// below it (text beside it, or the same stream under a higher ratio) is
// written whole.
TEST_P(ExpansionLimitsTest, TheRatioStopsOnlyAStreamThatPassesIt) {
    const Bytes zeros(4u << 20, 0);  // Deflate gives about 1000:1
    const std::vector<EntryToWrite> inputs = {Deflated("zeros.bin", zeros),
                                              Deflated("text.txt", TextContent("text", 300000))};
    const BuiltZip zip = BuildZip(inputs);
    const std::uint64_t packed = zip.entries[0].compressedSize;
    ExpansionLimits tight;
    tight.ratio = 100;
    tight.ratioFreeSize = 64 << 10;
    ASSERT_GT(100 * packed, tight.ratioFreeSize);

    const SalvageRun stopped(zip.bytes, GetParam(), Under(tight));
    ExpectIntactExcept(stopped, inputs, {0});
    ExpectLimited(stopped, "zeros.bin", zeros, "more than 100 times as many");
    const std::uint64_t written = stopped.Find("zeros.bin")->report.bytesWritten;
    EXPECT_GE(written, tight.ratioFreeSize);
    EXPECT_LE(written, 100 * packed);

    ExpansionLimits loose = tight;
    loose.ratio = 2000;
    const SalvageRun whole(zip.bytes, GetParam(), Under(loose));
    ExpectIntactExcept(whole, inputs, {});
}

// An entry may be exactly as large as the size limit; one byte more and it
// is stopped at the limit, stored or compressed, whether the limit falls on
// the end of an output block (65535 * 4) or inside one (blocks of 1000).
TEST_P(ExpansionLimitsTest, TheSizeLimitLetsAnEntryOfExactlyItsSizeThrough) {
    constexpr std::size_t kLimit = 65535 * 4;
    const Bytes exact = TextContent("exact", kLimit);
    const Bytes over = TextContent("over", kLimit + 1);
    const std::vector<EntryToWrite> inputs = {Stored("exact.txt", exact), Deflated("exact.z", exact),
                                              Stored("over.txt", over), Deflated("over.z", over),
                                              Stored("after.txt", "after")};
    const Bytes archive = BuildZip(inputs).bytes;
    for (std::size_t bufferSize : {std::size_t{65535}, std::size_t{1000}}) {
        SCOPED_TRACE(bufferSize);
        const SalvageRun run(archive, GetParam(), Under(ExpansionLimits::UpTo(kLimit), bufferSize));
        ExpectIntactExcept(run, inputs, {2, 3});
        for (const char* name : {"over.txt", "over.z"}) {
            ExpectLimited(run, name, over, "size limit reached: stopped after 262140 bytes");
            EXPECT_EQ(run.Find(name)->report.bytesWritten, kLimit) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, ExpansionLimitsTest, kBothModes, ModeParamName());

#ifndef _WIN32
class FullDisk : public ::testing::TestWithParam<RepairMode> {};

// A file-size limit stands in for a full disk: a write past it fails part
// of the way. The failed entries' reports name the bytes their files hold,
// whether the entry was written on the reading thread (300 000 bytes) or by
// the background writer (5 MiB), and the entry after them is written.
TEST_P(FullDisk, TheBytesReportedForAFailedEntryAreTheBytesOnDisk) {
    constexpr std::uint64_t kRoom = 200 << 10;
    const std::vector<EntryToWrite> inputs = {Deflated("medium.bin", Bytes(300000, 7)),
                                              Deflated("large.bin", Bytes(5u << 20, 7)), Stored("small.txt", "fits")};
    const Bytes archive = BuildZip(inputs).bytes;
    ASSERT_LT(archive.size(), kRoom);
    std::optional<SalvageRun> run;
    {
        FileSizeLimit limit(kRoom);
        ASSERT_TRUE(limit.active());
        run.emplace(archive, GetParam());
    }
    for (const char* name : {"medium.bin", "large.bin"}) {
        SCOPED_TRACE(name);
        const EntryRun* entry = run->Find(name);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->threw);
        EXPECT_NE(entry->error.find("File too large"), std::string::npos) << entry->error;
        ASSERT_FALSE(entry->report.outputPath.empty());
        EXPECT_EQ(entry->report.bytesWritten, LengthOnDisk(*entry));
        EXPECT_EQ(entry->report.bytesWritten, kRoom);
    }
    EXPECT_TRUE(IsIntact(*run, "small.txt", inputs[2].data));
}

INSTANTIATE_TEST_SUITE_P(BothModes, FullDisk, kBothModes, ModeParamName());
#endif

}  // namespace
}  // namespace tessaly::archivetest
