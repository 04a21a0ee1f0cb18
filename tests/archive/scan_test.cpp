// The scan's side effects and resources: progress reports, abandoning a scan
// from the progress hook, the central records' name correction, zlib memory
// after a data error, and sizes the archive declares never becoming
// allocations.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Provided by the AddressSanitizer run-time.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#define TESSALY_HEAP_BYTES() __sanitizer_get_current_allocated_bytes()
#elif defined(__GLIBC__)
#include <malloc.h>
#define TESSALY_HEAP_BYTES() static_cast<std::size_t>(mallinfo2().uordblks)
#endif

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"

// Under AddressSanitizer no single allocation may exceed 64 MiB: an
// allocation made from a size the archive declares (up to 4 GiB, or more
// through ZIP64) then fails the run instead of going unnoticed.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }

namespace tessaly::archivetest {
namespace {

using namespace testzip;

struct Report {
    std::uint64_t position;
    std::uint64_t total;
    std::uint64_t steps;
};

class ScanProgress : public ::testing::TestWithParam<RepairMode> {};

TEST_P(ScanProgress, ReportsAtMostOncePerHundredPositionsWithTheLength) {
    std::vector<EntryToWrite> inputs;
    for (int i = 0; i < 40; ++i)
        inputs.push_back(Stored("n" + std::to_string(i), NoiseContent(static_cast<std::uint32_t>(i), 20000)));
    BuiltZip zip = BuildZip(inputs);
    // Damaged sizes make the scan walk every byte of the data.
    for (const EntryLayout& e : zip.entries) SetLocalField(zip.bytes, e, LocalField::CompressedSize, 7);
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", zip.bytes);

    std::vector<Report> reports;
    ScanState state;
    state.progress = [&](std::uint64_t p, std::uint64_t t, std::uint64_t s) { reports.push_back({p, t, s}); };
    CZipArchive archive;
    archive.OpenArchive(folder / "a.zip", static_cast<RepairMode>(GetParam()), state);
    EXPECT_EQ(archive.GetCount(), inputs.size());
    ASSERT_FALSE(reports.empty());
    EXPECT_LE(reports.size(), zip.bytes.size() / 100 + 2);
    std::uint64_t steps = 0;
    for (const Report& r : reports) {
        EXPECT_EQ(r.total, zip.bytes.size());
        EXPECT_LE(r.position, r.total);
        steps += r.steps;
    }
    EXPECT_LE(steps, zip.bytes.size() / 100 + 2 * reports.size());
}

// A hook may throw to abandon the scan: the exception leaves OpenArchive and
// the archive object stays usable.
TEST_P(ScanProgress, ThrowingHookAbandonsTheScan) {
    std::vector<EntryToWrite> inputs = {Stored("a.txt", "a"), Deflated("b.txt", TextContent("b", 5000))};
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip(inputs).bytes);
    ScanState state;
    state.progress = [](std::uint64_t, std::uint64_t, std::uint64_t) { throw std::runtime_error("stopped"); };
    CZipArchive archive;
    EXPECT_THROW(archive.OpenArchive(folder / "a.zip", static_cast<RepairMode>(GetParam()), state), std::runtime_error);
    EXPECT_LE(archive.GetCount(), inputs.size());
    archive.CloseArchive(true);
    archive.OpenArchive(folder / "a.zip", static_cast<RepairMode>(GetParam()));
    EXPECT_EQ(archive.GetCount(), inputs.size());
    ExtractReport report;
    OutputDestination out(folder / "out");
    EXPECT_TRUE(archive.ExtractEntry(1, out, 65535, &report));
    EXPECT_EQ(report.outcome, ExtractOutcome::Ok);
}

INSTANTIATE_TEST_SUITE_P(BothModes, ScanProgress, kBothModes, ModeParamName());

// Local and central names of the same length that disagree, the rest of
// the central record agreeing with the entry (method, CRC-32, sizes). The
// central name is taken where it can be written, whichever copy the damage
// hit (one bit flipped leaves no telling which), and the entry's report
// says so; an unusable central name leaves the local one. Both repair modes
// read the same central records and must agree.
enum class NameSide { Local, Central };

struct NameDamage {
    const char* label;
    NameSide side;      // which copy of entry 1's name is damaged
    std::size_t at;     // byte of the name
    std::uint8_t byte;  // written there
    NameSide winner;    // whose name the entry takes
    bool noted;         // the report tells of a usable local name it set aside
};

void PrintTo(const NameDamage& c, std::ostream* os) { *os << c.label; }

class CentralNames : public ::testing::TestWithParam<std::tuple<NameDamage, RepairMode, bool>> {};

std::string Damaged(std::string name, const NameDamage& damage) {
    name[damage.at] = static_cast<char>(damage.byte);
    return name;
}

TEST_P(CentralNames, AnAgreeingRecordsUsableNameWins) {
    const NameDamage& damage = std::get<0>(GetParam());
    const bool streamed = std::get<2>(GetParam());
    std::vector<EntryToWrite> inputs = {Deflated("first.txt", TextContent("1", 700)),
                                        Deflated("docs/second.txt", TextContent("2", 900)),
                                        Stored("third.txt", TextContent("3", 500))};
    for (EntryToWrite& input : inputs) input.streamed = streamed && input.method == Method::Deflated;
    BuiltZip zip = BuildZip(inputs);
    const std::size_t nameAt =
        damage.side == NameSide::Local ? zip.entries[1].nameOffset : zip.entries[1].centralHeader + 46;
    zip.bytes[nameAt + damage.at] = damage.byte;
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    ASSERT_EQ(run.Count(), 3u);
    EXPECT_TRUE(IsIntact(run, inputs[0].name, inputs[0].data));
    EXPECT_TRUE(IsIntact(run, inputs[2].name, inputs[2].data));
    const std::string damaged = Damaged(inputs[1].name, damage);
    const std::string expected = damage.winner == damage.side ? damaged : inputs[1].name;
    EXPECT_TRUE(IsIntact(run, expected, inputs[1].data));
    if (expected != inputs[1].name) {
        EXPECT_EQ(run.FileContent(inputs[1].name), std::nullopt);
    }
    const EntryRun* second = run.Find(expected);
    ASSERT_NE(second, nullptr);
    if (damage.noted) {
        const std::string setAside = damage.side == NameSide::Local ? damaged : inputs[1].name;
        EXPECT_EQ(second->report.detail, "name from the central record; the local header says \"" + setAside + "\"");
    } else {
        EXPECT_EQ(second->report.detail, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CentralNames,
    ::testing::Combine(
        ::testing::Values(NameDamage{"LocalControlChar", NameSide::Local, 5, 0x01, NameSide::Central, false},
                          NameDamage{"LocalLetter", NameSide::Local, 5, 'X', NameSide::Central, true},
                          NameDamage{"LocalZeroFirstByte", NameSide::Local, 0, 0x00, NameSide::Central, false},
                          NameDamage{"CentralLetter", NameSide::Central, 5, 'X', NameSide::Central, true},
                          NameDamage{"CentralControlChar", NameSide::Central, 5, 0x01, NameSide::Local, false},
                          NameDamage{"CentralZeroed", NameSide::Central, 0, 0x00, NameSide::Local, false}),
        kBothModes, ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<NameDamage, RepairMode, bool>>& info) {
        return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param)) +
               (std::get<2>(info.param) ? "_Streamed" : "");
    });

// A central record that disagrees with the entry it names on anything but
// the name (here its CRC-32, or its method) speaks for another entry, or is
// damaged itself: the local name stands.
class DisagreeingRecord : public ::testing::TestWithParam<std::tuple<std::size_t, RepairMode>> {};

TEST_P(DisagreeingRecord, LeavesTheLocalName) {
    const std::size_t field = std::get<0>(GetParam());
    std::vector<EntryToWrite> inputs = {Deflated("first.txt", TextContent("1", 700)),
                                        Deflated("second.txt", TextContent("2", 900))};
    BuiltZip zip = BuildZip(inputs);
    zip.bytes[zip.entries[1].centralHeader + 46 + 2] = 'X';  // "seXond.txt"
    zip.bytes[zip.entries[1].centralHeader + field] ^= 0x04;
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_TRUE(IsIntact(run, "first.txt", inputs[0].data));
    EXPECT_TRUE(IsIntact(run, "second.txt", inputs[1].data));
    EXPECT_EQ(run.Find("seXond.txt"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Fields, DisagreeingRecord,
                         ::testing::Combine(::testing::Values(std::size_t{16}, std::size_t{10}), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<std::size_t, RepairMode>>& info) {
                             return std::string(std::get<0>(info.param) == 16 ? "Crc32" : "Method") + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

// After a data error the inflate stream is ended at once: zlib's memory is
// not held while the entry stays open.
TEST(ZlibMemory, IsReleasedRightAfterADataError) {
#ifndef TESSALY_HEAP_BYTES
    GTEST_SKIP() << "no heap statistics on this platform";
#else
    EntryToWrite input = Deflated("bad.txt", TextContent("bad", 400000));
    BuiltZip zip = BuildZip({input});
    const EntryLayout& e = zip.entries[0];
    FillRange(zip.bytes, e.dataStart + (e.dataEnd - e.dataStart) / 2, 64, 0xFF);
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", zip.bytes);
    CZipArchive archive;
    archive.OpenArchive(folder / "a.zip", QuickRepair);
    ASSERT_EQ(archive.GetCount(), 1u);
    std::vector<std::uint8_t> buffer(4096);
    ASSERT_TRUE(archive.OpenEntry(0));
    ASSERT_EQ(archive.ReadEntryData(buffer.data(), buffer.size()), buffer.size());
    const std::size_t streaming = TESSALY_HEAP_BYTES();
    while (archive.dataError == 0 && archive.ReadEntryData(buffer.data(), buffer.size()) == buffer.size()) {
    }
    ASSERT_EQ(archive.dataError, 1) << "the damage was not detected";
    const std::size_t afterError = TESSALY_HEAP_BYTES();
    // inflate holds its state and a 32 KiB window while it streams.
    EXPECT_GE(streaming, afterError + 32 * 1024) << "zlib memory still held after the data error";
    archive.CloseEntry();
    archive.CloseArchive(true);
#endif
}

// Sizes declared in the records, up to ZIP64's 64 bits, are never allocated:
// reading and writing go through fixed buffers.
class DeclaredSizes : public ::testing::TestWithParam<RepairMode> {};

TEST_P(DeclaredSizes, AreNeverAllocated) {
    std::vector<EntryToWrite> inputs;
    for (Method method : {Method::Stored, Method::Deflated}) {
        EntryToWrite input = Stored(method == Method::Stored ? "stored.bin" : "deflated.bin", TextContent("z", 3000));
        input.method = method;
        input.zip64Descriptor = true;
        input.streamed = true;
        input.sizesInLocalHeader = true;
        inputs.push_back(input);
    }
    inputs.push_back(Deflated("plain.txt", TextContent("p", 3000)));
    BuiltZip zip = BuildZip(inputs);
    for (std::size_t i = 0; i < 2; ++i) {
        // ZIP64 extra: id, length, uncompressed size, compressed size.
        Bytes huge = {1, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0x40};
        Overwrite(zip.bytes, zip.entries[i].extraOffset, huge);
    }
    SetLocalField(zip.bytes, zip.entries[2], LocalField::UncompressedSize, 0xFFFFFFF0);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    ASSERT_EQ(run.Count(), 3u);
    EXPECT_EQ(run.FileContent("plain.txt"), inputs[2].data);
    EXPECT_EQ(run.FileContent("deflated.bin"), inputs[1].data) << "the Deflate stream decides where the data ends";
}

INSTANTIATE_TEST_SUITE_P(BothModes, DeclaredSizes, kBothModes, ModeParamName());

TEST(ClosedArchive, AnswersEveryRequestWithoutEntries) {
    CZipArchive archive;
    CFileHeader header;
    std::uint8_t buffer[16];
    EXPECT_FALSE(archive.GetEntryInfo(header, 0));
    EXPECT_FALSE(archive.OpenEntry(0));
    EXPECT_EQ(archive.ReadEntryData(buffer, sizeof buffer), 0u);
    EXPECT_FALSE(archive.CloseEntry());
    TempFolder folder;
    OutputDestination out(folder.Path());
    EXPECT_FALSE(archive.ExtractEntry(0, out, 100));
    EXPECT_NO_THROW(archive.CloseArchive(true));
}

}  // namespace
}  // namespace tessaly::archivetest
