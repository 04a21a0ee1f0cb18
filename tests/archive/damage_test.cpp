// Damaged archives in both repair modes: truncations, short reads, zeroed
// blocks, corrupt Deflate data, files too small to hold anything. What the
// damage did not touch must come out intact; what it touched must say so
// and keep what could be read.

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Portable.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

// Five entries of both methods and both kinds of content.
std::vector<EntryToWrite> FiveEntries() {
    return {Stored("s0.txt", TextContent("s0", 3000)), Deflated("d1.txt", TextContent("d1", 20000)),
            Stored("s2.bin", NoiseContent(2, 5000)), Deflated("d3.txt", TextContent("d3", 30000)),
            Deflated("d4.bin", NoiseContent(4, 4000))};
}

// --- Truncation -----------------------------------------------------------

enum class Cut { InHeader, InName, InData, InCentralDirectory };

struct TruncationCase {
    const char* label;
    std::size_t entry;
    Cut cut;
};

void PrintTo(const TruncationCase& c, std::ostream* os) { *os << c.label; }

std::size_t CutPoint(const BuiltZip& zip, const TruncationCase& c) {
    const EntryLayout& e = zip.entries[c.entry];
    switch (c.cut) {
        case Cut::InHeader: return e.localHeader + 17;
        case Cut::InName: return e.nameOffset + 2;
        case Cut::InData: return e.dataStart + (e.dataEnd - e.dataStart) / 2;
        case Cut::InCentralDirectory: return e.centralHeader + 20;
    }
    return zip.bytes.size();
}

class Truncation : public ::testing::TestWithParam<std::tuple<TruncationCase, RepairMode>> {};

// A cut header or name ends the pass, not the salvage: everything before it
// is listed and the partly read entry is dropped. A cut in the data keeps
// what is there and says the entry is truncated.
TEST_P(Truncation, KeepsEverythingBeforeTheCut) {
    const TruncationCase& c = std::get<0>(GetParam());
    std::vector<EntryToWrite> inputs = FiveEntries();
    BuiltZip zip = BuildZip(inputs);
    TruncateAt(zip.bytes, CutPoint(zip, c));
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    if (c.cut == Cut::InCentralDirectory) {
        EXPECT_EQ(run.Count(), inputs.size());
        ExpectIntactExcept(run, inputs, {});
        return;
    }
    for (std::size_t i = 0; i < c.entry; ++i) EXPECT_TRUE(IsIntact(run, inputs[i].name, inputs[i].data));
    if (c.cut != Cut::InData) {
        EXPECT_EQ(run.Count(), c.entry) << "the partly read entry is dropped";
        return;
    }
    ASSERT_EQ(run.Count(), c.entry + 1);
    const EntryRun& cut = run.entries[c.entry];
    EXPECT_EQ(cut.report.outcome, ExtractOutcome::Truncated) << cut.report.detail << cut.error;
    std::optional<Bytes> written = run.FileContent(inputs[c.entry].name);
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(IsPrefix(*written, inputs[c.entry].data));
    EXPECT_GT(written->size(), 0u);
    if (inputs[c.entry].method == Method::Stored) {
        EXPECT_EQ(written->size(), (zip.entries[c.entry].dataEnd - zip.entries[c.entry].dataStart) / 2);
    }
    // What was there is stamped with the entry's time like a whole file.
    EXPECT_EQ(ModificationTime(cut.report.outputPath), cut.info.GetModificationTime());
}

const TruncationCase kTruncations[] = {
    {"FirstHeader", 0, Cut::InHeader},
    {"HeaderAfterStored", 1, Cut::InHeader},
    {"HeaderAfterDeflated", 2, Cut::InHeader},
    {"LastHeader", 4, Cut::InHeader},
    {"FirstName", 0, Cut::InName},
    {"Name", 3, Cut::InName},
    {"StoredData", 0, Cut::InData},
    {"DeflatedData", 1, Cut::InData},
    {"StoredNoiseData", 2, Cut::InData},
    {"LastDeflatedData", 4, Cut::InData},
    {"FirstCentralHeader", 0, Cut::InCentralDirectory},
    {"LastCentralHeader", 4, Cut::InCentralDirectory},
};

std::string TruncationName(const ::testing::TestParamInfo<std::tuple<TruncationCase, RepairMode>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Table, Truncation, ::testing::Combine(::testing::ValuesIn(kTruncations), kBothModes),
                         TruncationName);

// --- Short reads ------------------------------------------------------------

struct ShortReadCase {
    const char* label;
    Method method;
    std::size_t keep;  // data bytes left before the cut
};

void PrintTo(const ShortReadCase& c, std::ostream* os) { *os << c.label; }

class ShortRead : public ::testing::TestWithParam<std::tuple<ShortReadCase, RepairMode>> {};

// Only the bytes a read delivered reach the output: a cut that leaves the
// last 16 KiB read short gives exactly the data that is there (stored) or a
// clean prefix of the content (deflated), never stale buffer bytes.
TEST_P(ShortRead, OnlyDeliveredBytesReachTheOutput) {
    const ShortReadCase& c = std::get<0>(GetParam());
    EntryToWrite input = Stored("big.bin", NoiseContent(11, 60000));
    input.method = c.method;
    BuiltZip zip = BuildZip({input});
    TruncateAt(zip.bytes, zip.entries[0].dataStart + c.keep);
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    ASSERT_EQ(run.Count(), 1u);
    EXPECT_EQ(run.entries[0].report.outcome, ExtractOutcome::Truncated);
    std::optional<Bytes> written = run.FileContent("big.bin");
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(IsPrefix(*written, input.data)) << written->size() << " bytes";
    if (c.method == Method::Stored) {
        EXPECT_EQ(written->size(), c.keep);
    } else {
        EXPECT_GE(written->size() + 1024, c.keep) << "most of what was there should be decompressed";
    }
    EXPECT_EQ(run.entries[0].report.bytesWritten, written->size());
}

const ShortReadCase kShortReads[] = {
    {"StoredOneOverABuffer", Method::Stored, 16385},     {"StoredJustUnderABuffer", Method::Stored, 16383},
    {"StoredMidSecondBuffer", Method::Stored, 20000},    {"StoredThirdBuffer", Method::Stored, 32773},
    {"DeflatedOneOverABuffer", Method::Deflated, 16385}, {"DeflatedMidSecondBuffer", Method::Deflated, 20000},
    {"DeflatedThirdBuffer", Method::Deflated, 32773},
};

std::string ShortReadName(const ::testing::TestParamInfo<std::tuple<ShortReadCase, RepairMode>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Table, ShortRead, ::testing::Combine(::testing::ValuesIn(kShortReads), kBothModes),
                         ShortReadName);

// --- Damage inside the archive ---------------------------------------------

struct DamageCase {
    const char* label;
    std::function<void(BuiltZip&)> damage;
    std::vector<std::size_t> touched;  // entries the damage may spoil
    std::vector<std::size_t> damaged;  // entries that must come out Damaged
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.label; }

std::size_t Middle(const EntryLayout& e) { return e.dataStart + (e.dataEnd - e.dataStart) / 2; }

std::vector<DamageCase> DamageCases() {
    return {
        {"ZeroedLocalHeader", [](BuiltZip& z) { ZeroRange(z.bytes, z.entries[2].localHeader, 30); }, {2}, {}},
        {"ZeroedDeflatedData", [](BuiltZip& z) { ZeroRange(z.bytes, Middle(z.entries[1]), 600); }, {1}, {1}},
        {"ZeroedStoredData", [](BuiltZip& z) { ZeroRange(z.bytes, Middle(z.entries[2]), 600); }, {2}, {2}},
        {"ZeroedAcrossTwoEntries",
         [](BuiltZip& z) { ZeroRange(z.bytes, z.entries[1].dataEnd - 100, 200); },
         {1, 2},
         {1}},
        {"ZeroedCentralDirectory",
         [](BuiltZip& z) { ZeroRange(z.bytes, z.centralDirectory, z.bytes.size() - z.centralDirectory); },
         {},
         {}},
        {"InvalidBlockType", [](BuiltZip& z) { z.bytes[z.entries[3].dataStart] |= 0x06; }, {3}, {3}},
        {"FlippedBitsInDeflate",
         [](BuiltZip& z) {
             for (std::size_t k = 0; k < 8; ++k) FlipBits(z.bytes, Middle(z.entries[3]) + k * 97, 0x5A);
         },
         {3},
         {3}},
        {"FlippedBitsInStored", [](BuiltZip& z) { FlipBits(z.bytes, Middle(z.entries[0]), 0x01); }, {0}, {0}},
        {"GarbledCentralHeaders",
         [](BuiltZip& z) {
             for (const EntryLayout& e : z.entries) {
                 SetCentralField(z.bytes, e, CentralField::CompressedSize, 0xFFFFFFF0);
                 SetCentralField(z.bytes, e, CentralField::NameLength, 0xFFFF);
             }
         },
         {},
         {}},
    };
}

class ArchiveDamage : public ::testing::TestWithParam<std::tuple<DamageCase, RepairMode>> {};

TEST_P(ArchiveDamage, CostsOnlyTheTouchedEntries) {
    const DamageCase& c = std::get<0>(GetParam());
    std::vector<EntryToWrite> inputs = FiveEntries();
    BuiltZip zip = BuildZip(inputs);
    c.damage(zip);
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    ExpectIntactExcept(run, inputs, c.touched);
    for (std::size_t i : c.damaged) {
        const EntryRun* entry = run.Find(inputs[i].name);
        ASSERT_NE(entry, nullptr) << inputs[i].name;
        EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << inputs[i].name << ": " << entry->report.detail;
        std::optional<Bytes> written = run.FileContent(inputs[i].name);
        if (inputs[i].method == Method::Stored) {
            ASSERT_TRUE(written.has_value());
            EXPECT_EQ(written->size(), inputs[i].data.size()) << "stored data is kept whole";
        }
    }
    // Entries the damage did not touch are listed once; nothing else with a
    // usable name is made up.
    for (const std::string& file : run.files) {
        bool known = std::any_of(inputs.begin(), inputs.end(), [&](const EntryToWrite& s) { return s.name == file; });
        EXPECT_TRUE(known) << "unexpected output " << file;
    }
}

std::string DamageName(const ::testing::TestParamInfo<std::tuple<DamageCase, RepairMode>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Table, ArchiveDamage, ::testing::Combine(::testing::ValuesIn(DamageCases()), kBothModes),
                         DamageName);

}  // namespace
}  // namespace tessaly::archivetest

namespace tessaly::archivetest {
namespace {

// Files too small to hold anything, or holding only a signature or a bare
// header, open without an error and give nothing to write.
class TinyFiles : public ::testing::TestWithParam<RepairMode> {};

TEST_P(TinyFiles, OpenQuietlyAndWriteNothing) {
    Bytes header = BuildZip({Stored("", "")}, BuildOptions{false}).bytes;
    ASSERT_EQ(header.size(), 30u);
    const Bytes cases[] = {{},
                           {0x50},
                           {0x50, 0x4B, 0x03, 0x04},
                           Bytes(header.begin(), header.begin() + 29),
                           header,
                           {0x50, 0x4B, 0x01, 0x02},
                           Bytes(100, 0),
                           Garbage(1000)};
    for (const Bytes& bytes : cases) {
        SalvageRun run(bytes, GetParam());
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes");
        EXPECT_FALSE(run.openThrew) << run.openError;
        EXPECT_LE(run.Count(), 1u);
        EXPECT_TRUE(run.files.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, TinyFiles, kBothModes, ModeParamName());

// A flipped end-of-stream bit lets the Deflate stream run on into the next
// record. The declared size's bytes carry the declared CRC-32, so they are
// the entry: it comes out whole and good, and its neighbour too.
class EndOfStreamMark : public ::testing::TestWithParam<RepairMode> {};

TEST_P(EndOfStreamMark, ClearedMarkIsCutAtTheDeclaredSize) {
    std::vector<EntryToWrite> inputs = {Deflated("a.txt", TextContent("a", 2000)),
                                        Deflated("b.txt", TextContent("b", 3000))};
    BuiltZip zip = BuildZip(inputs);
    ASSERT_EQ(zip.bytes[zip.entries[0].dataStart] & 1, 1) << "one final block expected";
    zip.bytes[zip.entries[0].dataStart] &= 0xFE;
    SalvageRun run(zip.bytes, GetParam());
    const EntryRun* a = run.Find("a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->report.outcome, ExtractOutcome::Ok) << a->report.detail;
    ExpectIntactExcept(run, inputs, {});
}

INSTANTIATE_TEST_SUITE_P(BothModes, EndOfStreamMark, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest

namespace tessaly::archivetest {
namespace {

using namespace testzip;

// What zlib alone gives from the first `length` bytes of a raw Deflate stream.
Bytes InflatePrefix(const Bytes& stream, std::size_t length) {
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    Bytes out(1 << 20);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(length);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_SYNC_FLUSH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

class CutDeflateTail : public ::testing::TestWithParam<RepairMode> {};

// An archive cut inside a deflated entry keeps every byte the input there
// decides: at least what the inflater gives by itself, and never a byte the
// original does not have, wherever the cut falls.
TEST_P(CutDeflateTail, KeepsEveryDecidedByteAndNoGuess) {
    Bytes content = TextContent("tail", 12000);
    const Bytes repeated(3000, 'a');
    content.insert(content.end(), repeated.begin(), repeated.end());
    const Bytes noise = NoiseContent(11, 2000);
    content.insert(content.end(), noise.begin(), noise.end());
    const BuiltZip whole = BuildZip({Deflated("cut.txt", content)});
    const EntryLayout& entry = whole.entries[0];
    const Bytes stream(whole.bytes.begin() + static_cast<std::ptrdiff_t>(entry.dataStart),
                       whole.bytes.begin() + static_cast<std::ptrdiff_t>(entry.dataEnd));
    for (std::size_t cut = 40; cut + 1 < stream.size(); cut += 61) {
        Bytes bytes = whole.bytes;
        TruncateAt(bytes, entry.dataStart + cut);
        SalvageRun run(bytes, GetParam());
        ASSERT_EQ(run.Count(), 1u);
        const std::optional<Bytes> written = run.FileContent("cut.txt");
        ASSERT_TRUE(written.has_value()) << cut;
        EXPECT_TRUE(IsPrefix(*written, content)) << "cut at " << cut << ": a byte was guessed";
        EXPECT_GE(written->size(), InflatePrefix(stream, cut).size()) << "cut at " << cut;
        EXPECT_EQ(run.entries[0].report.outcome, ExtractOutcome::Truncated) << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, CutDeflateTail, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest

namespace tessaly::archivetest {
namespace {

using namespace testzip;

class StubBeforeDoubtfulHeader : public ::testing::TestWithParam<RepairMode> {};

// A stub in front, central records not moved with it, and a first entry
// that yields no data of its own ("./", as some writers put first): the
// stub is still measured from that first header. Measured from the next
// one, the "./" record would be matched with "./a.txt" and rename it.
TEST_P(StubBeforeDoubtfulHeader, CostsNoEntry) {
    const std::vector<EntryToWrite> inputs = {Stored("./", ""), Deflated("./a.txt", TextContent("a", 3000)),
                                              Stored("./b.bin", NoiseContent(2, 2000)),
                                              Deflated("./c.txt", TextContent("c", 4000))};
    BuiltZip zip = BuildZip(inputs);
    PrependStub(zip, Garbage(5000), false);
    SalvageRun run(zip.bytes, GetParam());
    for (std::size_t i = 1; i < inputs.size(); ++i) EXPECT_TRUE(IsIntact(run, inputs[i].name, inputs[i].data));
    EXPECT_EQ(run.files.size(), inputs.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(BothModes, StubBeforeDoubtfulHeader, kBothModes, ModeParamName());

// A text-mode transfer turned every LF byte of the archive into CR LF: what
// lies before the first LF is untouched and comes out whole, every entry
// called ok is byte for byte what was stored, and nothing is written
// outside the destination whatever the shifted fields say.
class TextModeTransfers : public ::testing::TestWithParam<RepairMode> {};

TEST_P(TextModeTransfers, KeepsWhatIsWholeAndCallsNothingElseOk) {
    std::vector<EntryToWrite> inputs = {Stored("first.txt", "no line end in here")};
    for (int i = 0; i < 120; ++i) {
        const std::string name = "dir" + std::to_string(i % 7) + "/file" + std::to_string(i) + ".txt";
        if (i % 3 == 0)
            inputs.push_back(Stored(name, std::string(40 + i, 'x')));
        else if (i % 3 == 1)
            inputs.push_back(Deflated(name, TextContent(name, 500 + 20 * i)));
        else
            inputs.push_back(Deflated(name, NoiseContent(static_cast<std::uint32_t>(i), 300 + i)));
    }
    const Bytes damaged = TextModeTransfer(BuildZip(inputs).bytes);
    SalvageRun run(damaged, GetParam());
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_TRUE(IsIntact(run, "first.txt", inputs[0].data));
    std::size_t ok = 0;
    for (const EntryRun& entry : run.entries) {
        if (entry.threw || entry.report.outcome != ExtractOutcome::Ok) continue;
        ++ok;
        std::string name = entry.info.fileName;
        std::replace(name.begin(), name.end(), '\\', '/');
        const auto input =
            std::find_if(inputs.begin(), inputs.end(), [&](const EntryToWrite& e) { return e.name == name; });
        ASSERT_NE(input, inputs.end()) << name;
        EXPECT_EQ(ReadFileBytes(entry.report.outputPath), input->data) << name;
    }
    EXPECT_GE(ok, 1u);
    for (const std::string& path : ListFilesBelow(run.Root()))
        EXPECT_TRUE(path == "archive.zip" || path.rfind("out/", 0) == 0) << path;
}

INSTANTIATE_TEST_SUITE_P(BothModes, TextModeTransfers, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
