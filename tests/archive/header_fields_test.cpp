// Local headers that lie, in both repair modes: wrong compressed and
// uncompressed sizes, wrong name and extra-field lengths, a header the
// forward scan cannot reach, a method the reader cannot decompress. One
// header's faults must cost no other entry.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

// --- Wrong sizes in a local header -------------------------------------------

enum class SizeField { Compressed, Uncompressed };

struct WrongSizeCase {
    const char* label;
    Method method;
    SizeField field;
    std::function<std::uint32_t(std::uint32_t)> wrong;
};

void PrintTo(const WrongSizeCase& c, std::ostream* os) { *os << c.label; }

std::vector<WrongSizeCase> WrongSizeCases() {
    auto half = [](std::uint32_t v) { return v / 2; };
    auto lessOne = [](std::uint32_t v) { return v - 1; };
    auto moreOne = [](std::uint32_t v) { return v + 1; };
    auto twice = [](std::uint32_t v) { return v * 2 + 3; };
    auto zero = [](std::uint32_t) { return 0u; };
    auto huge = [](std::uint32_t) { return 0xFFFFFF00u; };
    return {
        {"DeflatedCompressedHalf", Method::Deflated, SizeField::Compressed, half},
        {"DeflatedCompressedLessOne", Method::Deflated, SizeField::Compressed, lessOne},
        {"DeflatedCompressedMoreOne", Method::Deflated, SizeField::Compressed, moreOne},
        {"DeflatedCompressedTwice", Method::Deflated, SizeField::Compressed, twice},
        {"DeflatedCompressedZero", Method::Deflated, SizeField::Compressed, zero},
        {"DeflatedCompressedHuge", Method::Deflated, SizeField::Compressed, huge},
        {"DeflatedUncompressedHalf", Method::Deflated, SizeField::Uncompressed, half},
        {"DeflatedUncompressedTwice", Method::Deflated, SizeField::Uncompressed, twice},
        {"StoredCompressedHalf", Method::Stored, SizeField::Compressed, half},
        {"StoredCompressedMoreOne", Method::Stored, SizeField::Compressed, moreOne},
        {"StoredCompressedTwice", Method::Stored, SizeField::Compressed, twice},
        {"StoredCompressedHuge", Method::Stored, SizeField::Compressed, huge},
    };
}

class WrongLocalSize : public ::testing::TestWithParam<std::tuple<WrongSizeCase, RepairMode, bool>> {};

// A wrong size costs no neighbour. For a deflated entry the stream's own end
// decides: its output is the whole content, and the entry counts as damaged
// because the declared sizes disagree with the stream.
TEST_P(WrongLocalSize, CostsNoNeighbourAndDeflateEndsWhereTheStreamEnds) {
    const WrongSizeCase& c = std::get<0>(GetParam());
    bool central = std::get<2>(GetParam());
    // The deflated stream is long enough (noise after text) that a size
    // under it stops the decoder's first read inside the stream.
    Bytes content = NoiseContent(9, 5000);
    if (c.method == Method::Deflated) {
        content = TextContent("odd", 20000);
        const Bytes noise = NoiseContent(9, 24000);
        content.insert(content.end(), noise.begin(), noise.end());
    }
    EntryToWrite odd = Deflated("odd.dat", content);
    odd.method = c.method;
    std::vector<EntryToWrite> inputs = {Stored("s0.txt", TextContent("s0", 3000)), odd,
                                        Stored("s2.bin", NoiseContent(2, 5000)),
                                        Deflated("d3.txt", TextContent("d3", 9000))};
    BuildOptions options;
    options.centralDirectory = central;
    BuiltZip zip = BuildZip(inputs, options);
    const EntryLayout& e = zip.entries[1];
    if (c.field == SizeField::Compressed)
        SetLocalField(zip.bytes, e, LocalField::CompressedSize, c.wrong(static_cast<std::uint32_t>(e.compressedSize)));
    else
        SetLocalField(zip.bytes, e, LocalField::UncompressedSize,
                      c.wrong(static_cast<std::uint32_t>(e.uncompressedSize)));
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    ExpectIntactExcept(run, inputs, {1});
    const EntryRun* entry = run.Find("odd.dat");
    ASSERT_NE(entry, nullptr);
    if (c.method == Method::Deflated) {
        EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << entry->report.detail;
        EXPECT_EQ(run.FileContent("odd.dat"), odd.data) << "the Deflate stream decides where the data ends";
    } else {
        // Stored data has no end of its own: the length whose CRC-32 matches
        // (the uncompressed size, the central record's size, or the distance
        // to the next header) is taken, so the entry comes out whole.
        EXPECT_EQ(entry->report.outcome, ExtractOutcome::Ok) << entry->report.detail;
        EXPECT_EQ(run.FileContent("odd.dat"), odd.data);
    }
}

std::string WrongSizeName(const ::testing::TestParamInfo<std::tuple<WrongSizeCase, RepairMode, bool>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param)) +
           (std::get<2>(info.param) ? "_WithCentral" : "_NoCentral");
}

INSTANTIATE_TEST_SUITE_P(Table, WrongLocalSize,
                         ::testing::Combine(::testing::ValuesIn(WrongSizeCases()), kBothModes, ::testing::Bool()),
                         WrongSizeName);

class LocalHeaderRepair : public ::testing::TestWithParam<RepairMode> {};

// With both sizes of a stored entry wrong and no directory to ask, the
// entry still ends where the next header begins: that length is taken
// because the CRC-32 of its bytes matches.
TEST_P(LocalHeaderRepair, BothWrongEndAtTheNextHeader) {
    std::vector<EntryToWrite> inputs = {Stored("a.txt", TextContent("a", 3000)), Stored("b.bin", NoiseContent(4, 7000)),
                                        Stored("c.txt", TextContent("c", 2000))};
    BuildOptions options;
    options.centralDirectory = false;
    BuiltZip zip = BuildZip(inputs, options);
    SetLocalField(zip.bytes, zip.entries[1], LocalField::CompressedSize, 123456);
    SetLocalField(zip.bytes, zip.entries[1], LocalField::UncompressedSize, 654321);
    SalvageRun run(zip.bytes, GetParam());
    ExpectIntactExcept(run, inputs, {});
}

INSTANTIATE_TEST_SUITE_P(BothModes, LocalHeaderRepair, kBothModes, ModeParamName());

// A flipped bit in a local header's method (8 read as 0x0408) is repaired
// from the central record that names the header; without one the entry
// cannot be opened, and its neighbours are unharmed.
TEST_P(LocalHeaderRepair, UnknownLocalMethodIsTakenFromTheCentralRecord) {
    std::vector<EntryToWrite> inputs = {Deflated("a.txt", TextContent("a", 3000)), Stored("b.txt", "b")};
    BuiltZip zip = BuildZip(inputs);
    SetLocalField(zip.bytes, zip.entries[0], LocalField::Method, 0x0408);
    SalvageRun run(zip.bytes, GetParam());
    ExpectIntactExcept(run, inputs, {});
}

// A name length off by a few bytes misplaces the data; the central record's
// length is taken where the header's bytes spell its name.
TEST_P(LocalHeaderRepair, WrongNameLengthIsTakenFromTheCentralRecord) {
    std::vector<EntryToWrite> inputs = {Stored("docs/a.txt", TextContent("a", 3000)),
                                        Deflated("b.txt", TextContent("b", 900)), Stored("c.txt", "c")};
    BuiltZip zip = BuildZip(inputs);
    SetLocalField(zip.bytes, zip.entries[0], LocalField::NameLength, 14);
    SetLocalField(zip.bytes, zip.entries[1], LocalField::NameLength, 3);
    SalvageRun run(zip.bytes, GetParam());
    ExpectIntactExcept(run, inputs, {});
}

// Likewise an encryption flag only the local header carries.
TEST_P(LocalHeaderRepair, EncryptionFlagTheDirectoryDoesNotShareIsDropped) {
    std::vector<EntryToWrite> inputs = {Deflated("a.txt", TextContent("a", 3000)), Stored("b.txt", "b")};
    BuiltZip zip = BuildZip(inputs);
    SetLocalField(zip.bytes, zip.entries[0], LocalField::Flags, 0x0001);
    SalvageRun run(zip.bytes, GetParam());
    ExpectIntactExcept(run, inputs, {});
}

// The name and extra-field lengths are sizes in the local header too: a
// wrong one must not hide the entries after it, even when the entry's own
// data is short. Bytes 20 20 (two blanks) in the extra length mean no extra
// field when the entry is opened, so that entry itself comes out whole.
struct LengthFieldCase {
    const char* label;
    LocalField field;
    std::uint16_t value;
    bool entryIntact;
};

void PrintTo(const LengthFieldCase& c, std::ostream* os) { *os << c.label; }

class WrongLengthField : public ::testing::TestWithParam<std::tuple<LengthFieldCase, RepairMode, bool>> {};

TEST_P(WrongLengthField, CostsNoNeighbour) {
    const LengthFieldCase& c = std::get<0>(GetParam());
    std::vector<EntryToWrite> inputs = {Stored("s0.txt", TextContent("s0", 3000)), Deflated("odd.txt", "short data"),
                                        Stored("s2.bin", NoiseContent(2, 5000)),
                                        Deflated("d3.txt", TextContent("d3", 9000))};
    BuildOptions options;
    options.centralDirectory = std::get<2>(GetParam());
    BuiltZip zip = BuildZip(inputs, options);
    SetLocalField(zip.bytes, zip.entries[1], c.field, c.value);
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    ExpectIntactExcept(run, inputs, {1});
    if (c.entryIntact) {
        EXPECT_TRUE(IsIntact(run, "odd.txt", inputs[1].data));
    }
}

const LengthFieldCase kLengthFields[] = {
    {"ExtraTwoBlanks", LocalField::ExtraLength, 0x2020, true},
    {"ExtraBlankHighByte", LocalField::ExtraLength, 0x2000, true},
    {"ExtraHuge", LocalField::ExtraLength, 0xFFFF, false},
    {"ExtraIntoTheNextEntry", LocalField::ExtraLength, 0x0100, false},
    {"NameIntoTheNextEntry", LocalField::NameLength, 7 + 256, false},
    {"NameJustUnderTheLimit", LocalField::NameLength, 500, false},
};

std::string LengthFieldName(const ::testing::TestParamInfo<std::tuple<LengthFieldCase, RepairMode, bool>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param)) +
           (std::get<2>(info.param) ? "_WithCentral" : "_NoCentral");
}

INSTANTIATE_TEST_SUITE_P(Table, WrongLengthField,
                         ::testing::Combine(::testing::ValuesIn(kLengthFields), kBothModes, ::testing::Bool()),
                         LengthFieldName);

// --- Entries only a central record points at --------------------------------

class CentralOnlyEntry : public ::testing::TestWithParam<std::tuple<const char*, RepairMode>> {};

// Entry 1's local header is out of the forward scan's reach: either its
// signature is gone (with its name length too: the rest of the header still
// agrees with the central record), or entry 0's compressed size jumps exactly onto entry
// 2's header (a jump that lands on a signature is trusted). Only the
// central record still points at it: Advance Repair finds it, Quick does not.
TEST_P(CentralOnlyEntry, AdvanceFindsItQuickDoesNot) {
    std::string variant = std::get<0>(GetParam());
    RepairMode mode = std::get<1>(GetParam());
    std::vector<EntryToWrite> inputs = {
        Deflated("first.txt", TextContent("first", 4000)), Deflated("hidden.txt", TextContent("hidden", 6000)),
        Stored("third.txt", TextContent("third", 2000)), Deflated("fourth.txt", TextContent("fourth", 3000))};
    BuiltZip zip = BuildZip(inputs);
    if (variant == "LostSignature") {
        ZeroRange(zip.bytes, zip.entries[1].localHeader, 4);
    } else if (variant == "LostSignatureAndNameLength") {
        ZeroRange(zip.bytes, zip.entries[1].localHeader, 4);
        SetLocalField(zip.bytes, zip.entries[1], LocalField::NameLength, 7);
    } else {
        auto jump = static_cast<std::uint32_t>(zip.entries[2].localHeader - zip.entries[0].dataStart);
        SetLocalField(zip.bytes, zip.entries[0], LocalField::CompressedSize, jump);
    }
    SalvageRun run(zip.bytes, mode);
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_TRUE(IsIntact(run, "third.txt", inputs[2].data));
    EXPECT_TRUE(IsIntact(run, "fourth.txt", inputs[3].data));
    EXPECT_EQ(run.FileContent("first.txt"), inputs[0].data);
    if (mode == QuickRepair) {
        EXPECT_EQ(run.Find("hidden.txt"), nullptr);
        EXPECT_EQ(run.Count(), 3u);
    } else {
        EXPECT_TRUE(IsIntact(run, "hidden.txt", inputs[1].data));
        EXPECT_EQ(run.Count(), 4u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, CentralOnlyEntry,
    ::testing::Combine(::testing::Values("LostSignature", "LostSignatureAndNameLength", "SteppedOver"), kBothModes),
    [](const ::testing::TestParamInfo<std::tuple<const char*, RepairMode>>& info) {
        return std::string(std::get<0>(info.param)) + "_" + ModeName(std::get<1>(info.param));
    });

// --- Methods the reader cannot decompress ------------------------------------

class UnsupportedMethod : public ::testing::TestWithParam<RepairMode> {};

TEST_P(UnsupportedMethod, IsListedButNotExtracted) {
    EntryToWrite odd = Stored("ppmd.dat", TextContent("odd", 500));
    odd.methodOverride = 98;
    std::vector<EntryToWrite> inputs = {Stored("a.txt", "alpha"), odd, Deflated("b.txt", TextContent("b", 900))};
    SalvageRun run(BuildZip(inputs).bytes, GetParam());
    ASSERT_EQ(run.Count(), 3u);
    EXPECT_EQ(run.entries[1].info.method, 98);
    EXPECT_TRUE(run.entries[1].threw || run.entries[1].report.outcome == ExtractOutcome::Failed)
        << OutcomeName(run.entries[1].report.outcome);
    EXPECT_FALSE(run.FileContent("ppmd.dat").has_value() && !run.FileContent("ppmd.dat")->empty());
    EXPECT_TRUE(IsIntact(run, "a.txt", inputs[0].data));
    EXPECT_TRUE(IsIntact(run, "b.txt", inputs[2].data));
}

INSTANTIATE_TEST_SUITE_P(BothModes, UnsupportedMethod, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
