// Archives in good shape, in both repair modes: every entry once, in order,
// byte-exact; also with a stub in front, with odd output buffer sizes, with
// more entries than 16 bits can count, and from a read-only source.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

std::vector<EntryToWrite> MixedEntries() {
    std::vector<EntryToWrite> entries;
    entries.push_back(Stored("readme.txt", "plain stored text\n"));
    entries.push_back(Deflated("docs/manual.txt", TextContent("manual", 40000)));
    entries.push_back(Deflated("bin/noise.dat", NoiseContent(7, 30000)));
    entries.push_back(Stored("bin/exactly-65535.dat", NoiseContent(8, 65535)));
    entries.push_back(Deflated("docs/deep/er/still.txt", TextContent("deep", 200000)));
    entries.push_back(Stored("one-byte", "x"));
    entries.push_back(Deflated("level0.txt", TextContent("level0", 5000)));
    entries.back().level = 0;  // deflate's stored blocks
    return entries;
}

class HealthyArchive : public ::testing::TestWithParam<RepairMode> {};

void ExpectAllIntact(const SalvageRun& run, const std::vector<EntryToWrite>& inputs) {
    EXPECT_FALSE(run.openThrew) << run.openError;
    ASSERT_EQ(run.Count(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(run.entries[i].info.fileName, Listed(inputs[i].name)) << "entry " << i << " out of order";
        EXPECT_TRUE(IsIntact(run, inputs[i].name, inputs[i].data));
    }
}

TEST_P(HealthyArchive, ListsEveryEntryOnceInOrderAndExtractsThemExactly) {
    std::vector<EntryToWrite> inputs = MixedEntries();
    BuiltZip zip = BuildZip(inputs);
    SalvageRun run(zip.bytes, GetParam());
    ExpectAllIntact(run, inputs);
    for (std::size_t i = 0; i < inputs.size() && i < run.Count(); ++i) {
        const CFileHeader& info = run.entries[i].info;
        EXPECT_EQ(info.crc32, zip.entries[i].crc32);
        EXPECT_EQ(info.compressedSize, zip.entries[i].compressedSize);
        EXPECT_EQ(info.uncompressedSize, zip.entries[i].uncompressedSize);
        EXPECT_EQ(info.localHeaderOffset, zip.entries[i].localHeader);
        EXPECT_EQ(info.method, inputs[i].method == Method::Stored ? 0 : 8);
        EXPECT_EQ(info.externalAttributes, 0x20u);
    }
    EXPECT_EQ(run.files.size(), inputs.size());
}

// A second archive object can take the first one's entry table instead of
// scanning again, and extracts the same bytes.
TEST_P(HealthyArchive, CopyOfAScannedArchiveExtractsTheSame) {
    std::vector<EntryToWrite> inputs = MixedEntries();
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip(inputs).bytes);
    CZipArchive scanned, copy;
    scanned.OpenArchive(folder / "a.zip", static_cast<RepairMode>(GetParam()));
    ASSERT_TRUE(copy.OpenCopyOf(scanned));
    ASSERT_EQ(copy.GetCount(), inputs.size());
    const std::vector<ExtractReport> reports = SalvageAll(copy, folder / "out");
    ASSERT_EQ(reports.size(), inputs.size());
    for (std::uint32_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].outcome, ExtractOutcome::Ok) << reports[i].detail;
        EXPECT_EQ(ReadFileBytes(reports[i].outputPath), Bytes(inputs[i].data.begin(), inputs[i].data.end()));
    }
    CZipArchive closed;
    EXPECT_FALSE(closed.OpenCopyOf(CZipArchive()));
}

TEST_P(HealthyArchive, WithoutCentralDirectoryToo) {
    std::vector<EntryToWrite> inputs = MixedEntries();
    BuildOptions options;
    options.centralDirectory = false;
    SalvageRun run(BuildZip(inputs, options).bytes, GetParam());
    ExpectAllIntact(run, inputs);
}

TEST_P(HealthyArchive, StubInFrontIsSteppedOver) {
    std::vector<EntryToWrite> inputs = MixedEntries();
    for (bool adjusted : {true, false}) {
        BuiltZip zip = BuildZip(inputs);
        PrependStub(zip, Garbage(4099, 3), adjusted);
        SalvageRun run(zip.bytes, GetParam());
        SCOPED_TRACE(adjusted ? "central offsets adjusted" : "central offsets not adjusted");
        EXPECT_FALSE(run.openThrew) << run.openError;
        for (const EntryToWrite& input : inputs) EXPECT_TRUE(IsIntact(run, input.name, input.data));
        // Central records that point a stub's length too early must not
        // make up entries from whatever lies there.
        EXPECT_EQ(run.files.size(), inputs.size());
    }
}

// Names with `/` are handed out with `\` and land in sub-folders.
TEST_P(HealthyArchive, SlashesAreHandedOutAsBackslashes) {
    SalvageRun run(BuildZip({Stored("a/b.txt", "ab")}).bytes, GetParam());
    ASSERT_EQ(run.Count(), 1u);
    EXPECT_EQ(run.entries[0].info.fileName, "a\\b.txt");
    EXPECT_EQ(run.files, std::vector<std::string>{"a/b.txt"});
}

INSTANTIATE_TEST_SUITE_P(BothModes, HealthyArchive, kBothModes, ModeParamName());

// The caller's buffer size only sets the write granularity: odd sizes, sizes
// that split the 16 KiB input reads, and sizes larger than any entry give the
// same files.
class OutputBufferSize : public ::testing::TestWithParam<std::size_t> {};

TEST_P(OutputBufferSize, DoesNotChangeTheOutput) {
    std::vector<EntryToWrite> inputs = MixedEntries();
    SalvageOptions options;
    options.bufferSize = GetParam();
    for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
        SalvageRun run(BuildZip(inputs).bytes, mode, options);
        SCOPED_TRACE(ModeName(mode));
        ExpectAllIntact(run, inputs);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, OutputBufferSize, ::testing::Values(1, 7, 31, 4096, 16384, 16385, 65535, 1 << 20));

TEST(ExtractEntryRequests, ImpossibleRequestsAnswerFalse) {
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip({Stored("a.txt", "a")}).bytes);
    WriteFileBytes(folder / "plain-file", ToBytes("x"));
    CZipArchive zip;
    zip.OpenArchive(folder / "a.zip", QuickRepair);
    OutputDestination out(folder / "out");
    OutputDestination onAFile(folder / "plain-file");
    ASSERT_EQ(zip.GetCount(), 1u);
    CFileHeader header;
    EXPECT_FALSE(zip.GetEntryInfo(header, 1));
    EXPECT_FALSE(zip.ExtractEntry(0, out, 0));
    EXPECT_FALSE(zip.ExtractEntry(1, out, 100));
    EXPECT_FALSE(zip.ExtractEntry(65536 + 0, out, 100)) << "index must not wrap to 16 bits";
    ExtractReport report;
    EXPECT_FALSE(zip.ExtractEntry(0, onAFile, 100, &report)) << "destination below an existing file cannot be created";
    EXPECT_EQ(report.outcome, ExtractOutcome::Failed);
    EXPECT_TRUE(zip.ExtractEntry(0, out, 100));
    zip.CloseArchive(true);
    EXPECT_EQ(zip.GetCount(), 0u);
}

TEST(ExtractEntryRequests, MissingArchiveOpensWithNoEntries) {
    TempFolder folder;
    CZipArchive zip;
    EXPECT_NO_THROW(zip.OpenArchive(folder / "missing.zip", QuickRepair));
    EXPECT_EQ(zip.GetCount(), 0u);
    EXPECT_FALSE(zip.IsOpen());
}

// Entry indices are 32-bit: entry 65 536 is itself, not entry 0 again, and
// nothing after it is lost.
class ManyEntries : public ::testing::TestWithParam<RepairMode> {};

TEST_P(ManyEntries, IndicesPast65535AreTheirOwnEntries) {
    constexpr std::uint32_t kCount = 65536 + 3;
    std::vector<EntryToWrite> inputs;
    inputs.reserve(kCount);
    for (std::uint32_t i = 0; i < kCount; ++i)
        inputs.push_back(Stored("n" + std::to_string(i), std::to_string(i % 10)));
    TempFolder folder;
    WriteFileBytes(folder / "many.zip", BuildZip(inputs).bytes);
    CZipArchive zip;
    zip.OpenArchive(folder / "many.zip", static_cast<RepairMode>(GetParam()));
    OutputDestination out(folder / "out");
    ASSERT_EQ(zip.GetCount(), kCount);
    for (std::uint32_t index : {0u, 65535u, 65536u, 65537u, kCount - 1}) {
        CFileHeader info;
        ASSERT_TRUE(zip.GetEntryInfo(info, index));
        EXPECT_EQ(info.fileName, "n" + std::to_string(index));
        ExtractReport report;
        EXPECT_TRUE(zip.ExtractEntry(index, out, 65535, &report));
        EXPECT_EQ(report.outcome, ExtractOutcome::Ok) << index;
        EXPECT_EQ(ReadFileBytes(folder / "out" / ("n" + std::to_string(index))), ToBytes(std::to_string(index % 10)));
    }
    CFileHeader info;
    EXPECT_FALSE(zip.GetEntryInfo(info, kCount));
}

INSTANTIATE_TEST_SUITE_P(BothModes, ManyEntries, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
