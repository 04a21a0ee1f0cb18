// Where the scan's records are not what they seem: a local-header signature
// inside an entry's data that the end of the file cuts short, a second
// archive (or only its directory) after the first, and local headers lost
// while their central records survive.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Portable.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

// --- A signature inside an entry's data ---------------------------------------

// A streamed entry deflated at level 0 keeps its bytes as they are: here a
// local-header signature whose name length (65535) runs past the end of the
// file, as binary content (archives, executables, images) often carries.
EntryToWrite CarrierOfAFalseHeader() {
    Bytes content = TextContent("lead", 2000);
    const Bytes falseHeader = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0, 0, 0,    0,    0, 0,
                               0,   0,   0, 0, 0,  0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    content.insert(content.end(), falseHeader.begin(), falseHeader.end());
    const Bytes tail = NoiseContent(3, 1500);
    content.insert(content.end(), tail.begin(), tail.end());
    EntryToWrite carrier = Deflated("image.bin", content);
    carrier.level = 0;
    carrier.streamed = true;
    return carrier;
}

std::vector<EntryToWrite> EntriesAroundTheCarrier() {
    return {Deflated("first.txt", TextContent("first", 3000)), CarrierOfAFalseHeader(),
            Stored("after.bin", NoiseContent(5, 2500)), Deflated("last.txt", TextContent("last", 4000))};
}

class FalseHeader : public ::testing::TestWithParam<std::tuple<RepairMode, bool>> {};

// The signature is passed over: every entry after it is salvaged and the
// scan names no end inside a record.
TEST_P(FalseHeader, CutShortByTheEndOfTheFileDoesNotEndTheScan) {
    const std::vector<EntryToWrite> inputs = EntriesAroundTheCarrier();
    BuiltZip zip = BuildZip(inputs);
    if (!std::get<1>(GetParam())) DropCentralDirectory(zip);
    SalvageRun run(zip.bytes, std::get<0>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    ExpectIntactExcept(run, inputs, {});
    EXPECT_EQ(run.Count(), inputs.size());
    EXPECT_EQ(run.cutRecordOffset, std::nullopt);
}

// Where the file really ends inside a header, after the false one, that is
// the end the scan names.
TEST_P(FalseHeader, LeavesTheRealCutNamed) {
    const std::vector<EntryToWrite> inputs = EntriesAroundTheCarrier();
    BuiltZip zip = BuildZip(inputs);
    const std::size_t lastHeader = zip.entries[3].localHeader;
    TruncateAt(zip.bytes, zip.entries[3].nameOffset + 3);
    SalvageRun run(zip.bytes, std::get<0>(GetParam()));
    ExpectIntactExcept(run, inputs, {3});
    EXPECT_EQ(run.Count(), 3u);
    EXPECT_EQ(run.cutRecordOffset, std::optional<std::uint64_t>(lastHeader));
}

// The carrier last, the directory gone: its data descriptor is the record
// after the signature, and the archive does not end inside a record.
TEST_P(FalseHeader, InTheLastEntryDoesNotEndTheArchive) {
    const std::vector<EntryToWrite> inputs = {Stored("first.bin", NoiseContent(6, 1200)), CarrierOfAFalseHeader()};
    BuiltZip zip = BuildZip(inputs);
    if (!std::get<1>(GetParam())) DropCentralDirectory(zip);
    SalvageRun run(zip.bytes, std::get<0>(GetParam()));
    ExpectIntactExcept(run, inputs, {});
    EXPECT_EQ(run.Count(), inputs.size());
    EXPECT_EQ(run.cutRecordOffset, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(BothModes, FalseHeader, ::testing::Combine(kBothModes, ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<RepairMode, bool>>& info) {
                             return std::string(ModeName(std::get<0>(info.param))) +
                                    (std::get<1>(info.param) ? "_WithCentral" : "_NoCentral");
                         });

// --- Another archive's directory ------------------------------------------------

std::vector<EntryToWrite> FirstArchive() {
    return {Deflated("a1.txt", TextContent("a1", 3000)), Stored("a2.bin", NoiseContent(7, 1700)),
            Deflated("a3.txt", TextContent("a3", 5000)), Stored("a4.txt", TextContent("a4", 900))};
}

std::vector<EntryToWrite> SecondArchive() {
    return {Stored("b1.bin", NoiseContent(8, 2100)), Deflated("b2.txt", TextContent("b2", 2600)),
            Deflated("b3.txt", TextContent("b3", 800)), Stored("b4.txt", TextContent("b4", 1300)),
            Deflated("b5.bin", NoiseContent(9, 1100))};
}

Bytes Joined(const Bytes& first, const Bytes& between, const Bytes& second) {
    Bytes joined = first;
    joined.insert(joined.end(), between.begin(), between.end());
    joined.insert(joined.end(), second.begin(), second.end());
    return joined;
}

class AppendedArchive : public ::testing::TestWithParam<std::tuple<RepairMode, bool>> {};

// The second archive's directory counts from its own start (after junk
// between the two, too): its records name its own entries, and no entry is
// made up from the first archive's bytes.
TEST_P(AppendedArchive, EveryEntryOfBothIsSalvagedAndNoneMadeUp) {
    const Bytes between = std::get<1>(GetParam()) ? Garbage(3001, 4) : Bytes{};
    std::vector<EntryToWrite> inputs = FirstArchive();
    const std::vector<EntryToWrite> second = SecondArchive();
    const Bytes bytes = Joined(BuildZip(inputs).bytes, between, BuildZip(second).bytes);
    inputs.insert(inputs.end(), second.begin(), second.end());
    SalvageRun run(bytes, std::get<0>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    ExpectIntactExcept(run, inputs, {});
    EXPECT_EQ(run.Count(), inputs.size());
    for (const EntryRun& entry : run.entries) {
        EXPECT_EQ(entry.report.outcome, ExtractOutcome::Ok) << entry.info.fileName << ": " << entry.report.detail;
        EXPECT_EQ(entry.report.detail, "") << entry.info.fileName;
    }
}

// Only the second archive's directory, without its entries: its records
// point into the first archive's data and name nothing there.
TEST_P(AppendedArchive, ADirectoryWithoutItsEntriesNamesNothing) {
    const std::vector<EntryToWrite> inputs = FirstArchive();
    const BuiltZip second = BuildZip(SecondArchive());
    const Bytes directory(second.bytes.begin() + static_cast<std::ptrdiff_t>(second.centralDirectory),
                          second.bytes.end());
    const Bytes between = std::get<1>(GetParam()) ? Garbage(700, 5) : Bytes{};
    SalvageRun run(Joined(BuildZip(inputs).bytes, between, directory), std::get<0>(GetParam()));
    ExpectIntactExcept(run, inputs, {});
    EXPECT_EQ(run.Count(), inputs.size());
}

INSTANTIATE_TEST_SUITE_P(BothModes, AppendedArchive, ::testing::Combine(kBothModes, ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<RepairMode, bool>>& info) {
                             return std::string(ModeName(std::get<0>(info.param))) +
                                    (std::get<1>(info.param) ? "_JunkBetween" : "_Adjoining");
                         });

// --- Lost local headers --------------------------------------------------------

constexpr std::uint16_t kEmptyTime = 0x7A4F;  // 15:18:30
constexpr std::uint16_t kEmptyDate = 0x5B2C;  // 12 September 2025

std::vector<EntryToWrite> EntriesWithEmptyOnes() {
    EntryToWrite empty = Stored("notes/empty.txt", "");
    empty.dosTime = kEmptyTime;
    empty.dosDate = kEmptyDate;
    return {Deflated("a.txt", TextContent("a", 3000)), empty, Stored("notes/folder/", ""),
            Stored("b.bin", NoiseContent(3, 2000)), Deflated("c.txt", TextContent("c", 2500))};
}

// Entries 1 to 3 lose their local headers; the folder's central record
// carries the folder attribute.
BuiltZip WithLostHeaders(const std::vector<EntryToWrite>& inputs, bool stub) {
    BuiltZip zip = BuildZip(inputs);
    zip.bytes[zip.entries[2].centralHeader + 38] = 0x10;
    for (std::size_t i = 1; i <= 3; ++i) ZeroRange(zip.bytes, zip.entries[i].localHeader, 30);
    if (stub) PrependStub(zip, Garbage(2222, 6), false);
    return zip;
}

class LostLocalHeader : public ::testing::TestWithParam<bool> {};

// Advance Repair names each from its central record. An empty file and a
// folder need nothing of the local header and are written, with the
// record's time and attributes; an entry with data says what it lost.
TEST_P(LostLocalHeader, AdvanceNamesEachFromItsRecordAndWritesWhatNeedsNoData) {
    const std::vector<EntryToWrite> inputs = EntriesWithEmptyOnes();
    SalvageRun run(WithLostHeaders(inputs, GetParam()).bytes, AdvanceRepair);
    ExpectIntactExcept(run, inputs, {1, 2, 3});
    ASSERT_EQ(run.Count(), inputs.size());

    const EntryRun* empty = run.Find("notes/empty.txt");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->report.outcome, ExtractOutcome::Ok);
    EXPECT_EQ(empty->report.detail, "local header lost; written from the central record");
    EXPECT_EQ(run.FileContent("notes/empty.txt"), Bytes{});
    CFileHeader stamped;
    stamped.modTime = kEmptyTime;
    stamped.modDate = kEmptyDate;
    EXPECT_EQ(ModificationTime(empty->report.outputPath), stamped.GetModificationTime());

    const EntryRun* folder = run.Find("notes/folder/");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->report.outcome, ExtractOutcome::Ok);
    EXPECT_EQ(folder->info.externalAttributes, 0x10u);
    EXPECT_TRUE(std::filesystem::is_directory(run.Output() / "notes" / "folder"));

    const EntryRun* data = run.Find("b.bin");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->report.outcome, ExtractOutcome::Skipped);
    EXPECT_EQ(data->report.detail, "local header lost; named from the central record");
    EXPECT_TRUE(NothingWritten(run, *data));
    for (const EntryRun& entry : run.entries) EXPECT_FALSE(entry.info.fileName.empty());
}

// Quick Repair lists what the forward scan meets: the others, unharmed.
TEST_P(LostLocalHeader, QuickKeepsTheOthers) {
    const std::vector<EntryToWrite> inputs = EntriesWithEmptyOnes();
    SalvageRun run(WithLostHeaders(inputs, GetParam()).bytes, QuickRepair);
    ExpectIntactExcept(run, inputs, {1, 2, 3});
    for (const EntryRun& entry : run.entries) EXPECT_FALSE(entry.info.fileName.empty());
}

INSTANTIATE_TEST_SUITE_P(Stub, LostLocalHeader, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "StubInFront" : "NoStub";
});

}  // namespace
}  // namespace tessaly::archivetest
