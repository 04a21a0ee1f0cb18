// Entries of several megabytes, which extraction writes through a second
// thread: whole, cut off, corrupt or with a wrong size, in both repair modes,
// they must give the same results small entries give.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

const std::vector<EntryToWrite>& LargeEntries() {
    static const std::vector<EntryToWrite> entries = {Stored("big.bin", NoiseContent(21, (4 << 20) + 250000)),
                                                      Deflated("big.txt", TextContent("big", (4 << 20) + 500000)),
                                                      Deflated("after.txt", TextContent("after", 2000))};
    return entries;
}

const BuiltZip& LargeArchive() {
    static const BuiltZip zip = BuildZip(LargeEntries());
    return zip;
}

struct LargeCase {
    const char* label;
    std::function<void(BuiltZip&)> damage;
    std::function<void(const SalvageRun&)> check;
};

void PrintTo(const LargeCase& c, std::ostream* os) { *os << c.label; }

const EntryRun& Entry(const SalvageRun& run, const char* name) {
    static const EntryRun none;
    const EntryRun* entry = run.Find(name);
    EXPECT_NE(entry, nullptr) << name << " not listed";
    return entry ? *entry : none;
}

// The contents are made on first use, not when the cases are registered, so
// that listing the tests stays cheap.
const Bytes& Content(std::size_t index) { return LargeEntries()[index].data; }

std::vector<LargeCase> LargeCases() {
    return {
        {"Healthy", [](BuiltZip&) {},
         [](const SalvageRun& run) {
             for (const EntryToWrite& input : LargeEntries()) EXPECT_TRUE(IsIntact(run, input.name, input.data));
         }},
        {"StoredCutOff", [](BuiltZip& z) { TruncateAt(z.bytes, z.entries[0].dataStart + 3000001); },
         [](const SalvageRun& run) {
             EXPECT_EQ(Entry(run, "big.bin").report.outcome, ExtractOutcome::Truncated);
             std::optional<Bytes> written = run.FileContent("big.bin");
             ASSERT_TRUE(written.has_value());
             EXPECT_EQ(written->size(), 3000001u);
             EXPECT_TRUE(IsPrefix(*written, Content(0)));
         }},
        {"DeflatedCutOff",
         [](BuiltZip& z) {
             const EntryLayout& e = z.entries[1];
             TruncateAt(z.bytes, e.dataStart + (e.dataEnd - e.dataStart) / 2 + 3);
         },
         [](const SalvageRun& run) {
             EXPECT_TRUE(IsIntact(run, "big.bin", Content(0)));
             EXPECT_EQ(Entry(run, "big.txt").report.outcome, ExtractOutcome::Truncated);
             std::optional<Bytes> written = run.FileContent("big.txt");
             ASSERT_TRUE(written.has_value());
             EXPECT_GT(written->size(), Content(1).size() / 3);
             EXPECT_TRUE(IsPrefix(*written, Content(1)));
             EXPECT_EQ(Entry(run, "big.txt").report.bytesWritten, written->size());
         }},
        {"DeflatedCorrupt",
         [](BuiltZip& z) {
             const EntryLayout& e = z.entries[1];
             FillRange(z.bytes, e.dataStart + (e.dataEnd - e.dataStart) / 2, 4096, 0xFF);
         },
         [](const SalvageRun& run) {
             EXPECT_TRUE(IsIntact(run, "big.bin", Content(0)));
             EXPECT_TRUE(IsIntact(run, "after.txt", Content(2)));
             const EntryRun& big = Entry(run, "big.txt");
             EXPECT_EQ(big.report.outcome, ExtractOutcome::Damaged) << big.report.detail;
             std::optional<Bytes> written = run.FileContent("big.txt");
             ASSERT_TRUE(written.has_value());
             EXPECT_EQ(big.report.bytesWritten, written->size());
         }},
        {"DeflatedSizeTooSmall",
         [](BuiltZip& z) {
             const EntryLayout& e = z.entries[1];
             SetLocalField(z.bytes, e, LocalField::CompressedSize, static_cast<std::uint32_t>(e.compressedSize / 3));
             SetLocalField(z.bytes, e, LocalField::UncompressedSize, 1000);
         },
         [](const SalvageRun& run) {
             EXPECT_TRUE(IsIntact(run, "big.bin", Content(0)));
             EXPECT_TRUE(IsIntact(run, "after.txt", Content(2)));
             EXPECT_EQ(Entry(run, "big.txt").report.outcome, ExtractOutcome::Damaged);
             EXPECT_EQ(run.FileContent("big.txt"), Content(1)) << "the Deflate stream decides where the data ends";
         }},
        {"SmallEntryDeclaredHuge",
         [](BuiltZip& z) { SetLocalField(z.bytes, z.entries[2], LocalField::UncompressedSize, 0xFFFFFFF0); },
         [](const SalvageRun& run) {
             EXPECT_EQ(Entry(run, "after.txt").report.outcome, ExtractOutcome::Damaged);
             EXPECT_EQ(run.FileContent("after.txt"), Content(2));
         }},
    };
}

class LargeEntry : public ::testing::TestWithParam<std::tuple<LargeCase, RepairMode>> {};

TEST_P(LargeEntry, BehavesLikeASmallOne) {
    const LargeCase& c = std::get<0>(GetParam());
    BuiltZip zip = LargeArchive();
    c.damage(zip);
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    for (const EntryRun& entry : run.entries) EXPECT_FALSE(entry.threw) << entry.info.fileName << ": " << entry.error;
    c.check(run);
}

INSTANTIATE_TEST_SUITE_P(Table, LargeEntry, ::testing::Combine(::testing::ValuesIn(LargeCases()), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<LargeCase, RepairMode>>& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

// A checkpoint that throws abandons a large entry between two blocks: what
// was written stays, the archive object goes on with the next entry.
TEST(ExtractCheckpoint, ThrowingAbandonsTheEntryAndTheArchiveGoesOn) {
    TempFolder folder;
    WriteFileBytes(folder / "large.zip", LargeArchive().bytes);
    CZipArchive archive;
    archive.OpenArchive(folder / "large.zip", QuickRepair);
    OutputDestination out(folder / "out");
    ScanState state;
    ASSERT_EQ(archive.GetCount(), 3u);
    int blocks = 0;
    state.checkpoint = [&blocks] {
        if (++blocks == 2) throw std::runtime_error("stop");
    };
    EXPECT_THROW(archive.ExtractEntry(1, out, 65535, nullptr, state), std::runtime_error);
    const auto partial = std::filesystem::file_size(folder / "out" / "big.txt");
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, Content(1).size());
    ExtractReport report;
    EXPECT_TRUE(archive.ExtractEntry(2, out, 65535, &report));
    EXPECT_EQ(report.outcome, ExtractOutcome::Ok) << report.detail;
}

}  // namespace
}  // namespace tessaly::archivetest
