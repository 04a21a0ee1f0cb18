// Archives built to hurt: entries sharing one compressed kernel, headers
// whose data all runs to the directory, a stored archive inside a streamed
// entry, and files of nothing but signatures. Output must not multiply the
// data, and headers that cannot yield data must cost no table entry.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/ZipArchive.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Hostile.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

std::uint64_t BytesWritten(const SalvageRun& run) {
    std::uint64_t total = 0;
    for (const EntryRun& entry : run.entries) total += entry.report.bytesWritten;
    return total;
}

// The outermost entry is written; every entry inside its data is skipped
// with the reason, so the kernel is written once, not once per entry.
void ExpectOnlyTheOutermostWritten(const SalvageRun& run, const HostileZip& zip, ExtractOutcome outermost) {
    ASSERT_GE(run.Count(), 1u);
    EXPECT_EQ(run.entries[0].report.outcome, outermost) << run.entries[0].report.detail;
    for (std::size_t i = 1; i < run.Count(); ++i) {
        EXPECT_EQ(run.entries[i].report.outcome, ExtractOutcome::Skipped) << i;
        EXPECT_EQ(run.entries[i].report.detail, "inside another entry's data") << i;
    }
    EXPECT_EQ(BytesWritten(run), zip.firstEntrySize);
    EXPECT_EQ(run.files.size(), 1u);
}

class OverlappingEntries : public ::testing::TestWithParam<RepairMode> {};

TEST_P(OverlappingEntries, SharingOneKernelAreWrittenOnce) {
    const HostileZip zip = OverlapBomb(40, 200000);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    if (GetParam() == AdvanceRepair) {
        EXPECT_EQ(run.Count(), 40u);
    }
    ExpectOnlyTheOutermostWritten(run, zip, ExtractOutcome::Ok);
    EXPECT_LT(BytesWritten(run) * 10, zip.totalSize);
}

TEST_P(OverlappingEntries, WhoseDataAllRunsToTheDirectoryAreWrittenOnce) {
    const HostileZip zip = SharedTailHeaders(32, 4096);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    ExpectOnlyTheOutermostWritten(run, zip, ExtractOutcome::Damaged);
}

// A streaming writer deflating a ZIP file at level 0 leaves the inner
// archive's headers readable inside the outer entry's data; the scan lists
// them, but they are the outer entry's bytes, not entries of their own.
TEST_P(OverlappingEntries, NestedRecordsOfAStoredArchiveAreNotWrittenTwice) {
    const Bytes inner =
        BuildZip({Stored("inner-a.txt", TextContent("ia", 700)), Deflated("inner-b.txt", TextContent("ib", 900))})
            .bytes;
    EntryToWrite outer = Deflated("inner.zip", inner);
    outer.level = 0;
    outer.streamed = true;
    const std::vector<EntryToWrite> inputs = {Deflated("before.txt", TextContent("b", 900)), outer,
                                              Deflated("after.txt", TextContent("a", 900))};
    SalvageRun run(BuildZip(inputs).bytes, GetParam());
    for (const EntryToWrite& input : inputs) EXPECT_TRUE(IsIntact(run, input.name, input.data));
    for (const char* name : {"inner-a.txt", "inner-b.txt"}) {
        EXPECT_EQ(run.FileContent(name), std::nullopt) << name;
        if (const EntryRun* nested = run.Find(name)) {
            EXPECT_EQ(nested->report.detail, "inside another entry's data");
        }
    }
}

// Real damage never makes one entry hold another: a wrong size, zeroed or
// flipped data, each costs only the entry it touches.
TEST_P(OverlappingEntries, DamagedEntriesHoldNoNeighbour) {
    const std::vector<EntryToWrite> inputs = {
        Deflated("a.txt", TextContent("a", 5000)), Stored("b.txt", TextContent("b", 3000)),
        Deflated("c.txt", TextContent("c", 5000)), Stored("d.txt", TextContent("d", 3000)),
        Deflated("e.txt", TextContent("e", 2000))};
    for (int damage = 0; damage < 3; ++damage) {
        BuiltZip zip = BuildZip(inputs);
        if (damage == 0) SetLocalField(zip.bytes, zip.entries[1], LocalField::CompressedSize, 0xFFFFF);
        if (damage == 1) FlipBits(zip.bytes, zip.entries[2].dataStart + 100, 0x10);
        if (damage == 2) SetLocalField(zip.bytes, zip.entries[0], LocalField::CompressedSize, 0xFFFFF);
        SalvageRun run(zip.bytes, GetParam());
        for (std::size_t i = 3; i < inputs.size(); ++i)
            EXPECT_TRUE(IsIntact(run, inputs[i].name, inputs[i].data)) << "damage " << damage;
    }
}

// Many damaged entries whose declared data runs far past the end of the
// file, and streamed entries that turn out damaged, stand before a stored
// archive inside a streamed entry: the records inside it are still found to
// be its bytes, and none of the damaged entries holds a neighbour.
TEST_P(OverlappingEntries, NestedRecordsAreFoundBehindManyEntriesThatReachFar) {
    const Bytes inner =
        BuildZip({Stored("inner-a.txt", TextContent("ia", 700)), Deflated("inner-b.txt", TextContent("ib", 900))})
            .bytes;
    EntryToWrite outer = Deflated("inner.zip", inner);
    outer.level = 0;
    outer.streamed = true;
    std::vector<EntryToWrite> inputs;
    for (int i = 0; i < 60; ++i) {
        EntryToWrite entry = Deflated("far" + std::to_string(i) + ".txt", TextContent("f" + std::to_string(i), 900));
        entry.streamed = i % 3 == 0;
        inputs.push_back(std::move(entry));
    }
    inputs.push_back(outer);
    for (int i = 0; i < 20; ++i)
        inputs.push_back(Deflated("after" + std::to_string(i) + ".txt", TextContent("a" + std::to_string(i), 900)));
    BuiltZip zip = BuildZip(inputs);
    for (int i = 0; i < 60; ++i) {
        if (i % 3 == 0)
            FlipBits(zip.bytes, zip.entries[i].dataStart + 20, 0x08);
        else
            SetLocalField(zip.bytes, zip.entries[i], LocalField::CompressedSize, 0x7FFFFFF0u - i);
    }
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    for (std::size_t i = 60; i < inputs.size(); ++i) EXPECT_TRUE(IsIntact(run, inputs[i].name, inputs[i].data));
    for (const char* name : {"inner-a.txt", "inner-b.txt"}) {
        EXPECT_EQ(run.FileContent(name), std::nullopt) << name;
        if (const EntryRun* nested = run.Find(name)) {
            EXPECT_EQ(nested->report.detail, "inside another entry's data");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, OverlappingEntries, kBothModes, ModeParamName());

// Headers that cannot yield data cost no table entry: a file of nothing but
// signatures lists nothing; a real entry among them is still found.
class SignatureFloods : public ::testing::TestWithParam<RepairMode> {};

TEST_P(SignatureFloods, ListNothing) {
    SalvageRun run(SignatureFlood(std::size_t{1} << 20), GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_EQ(run.Count(), 0u);
    EXPECT_TRUE(run.files.empty());
}

TEST_P(SignatureFloods, KeepTheRealEntriesAmongThem) {
    const std::vector<EntryToWrite> inputs = {Deflated("real.txt", TextContent("r", 4000)),
                                              Stored("also.txt", TextContent("s", 900))};
    Bytes bytes = SignatureFlood(100000);
    const Bytes archive = BuildZip(inputs, BuildOptions{false}).bytes;
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    const Bytes tail = SignatureFlood(100000);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    SalvageRun run(bytes, GetParam());
    EXPECT_EQ(run.Count(), inputs.size());
    for (const EntryToWrite& input : inputs) EXPECT_TRUE(IsIntact(run, input.name, input.data));
}

// Headers of a known method whose names and extra fields are all 64 KiB long:
// reading them is budgeted, so the scan stays linear and lists nothing.
TEST_P(SignatureFloods, OfLongNamedHeadersListNothing) {
    Bytes bytes;
    while (bytes.size() < (std::size_t{4} << 20)) {
        const std::uint8_t header[32] = {0x50, 0x4B, 3, 4, 20, 0, 0, 0, 0, 0, 0,    0,    0,    0,    0,   0,
                                         0,    0,    0, 0, 0,  0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'P', 'K'};
        bytes.insert(bytes.end(), header, header + sizeof header);
    }
    SalvageRun run(bytes, GetParam(), SalvageOptions{65535, false});
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_EQ(run.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothModes, SignatureFloods, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
