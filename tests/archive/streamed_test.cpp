// Archives written by streaming writers: flag bit 3, sizes unknown in the
// local header, a data descriptor after the data (with or without its
// signature, with 32- or 64-bit sizes). They must come out complete and
// byte-exact in both repair modes, and the descriptor in front of a header
// belongs to the entry before it, not to that header.
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "archive/ZipArchive.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

struct StreamStyle {
    const char* label;
    Method method;
    bool signature;
    bool zip64;
    Zip64LocalSizes localSizes;
    bool sizesInLocalHeader;
};

void PrintTo(const StreamStyle& c, std::ostream* os) { *os << c.label; }

EntryToWrite Streamed(const StreamStyle& style, std::string name, Bytes data) {
    EntryToWrite input = Stored(std::move(name), std::move(data));
    input.method = style.method;
    input.streamed = true;
    input.descriptorSignature = style.signature;
    input.zip64Descriptor = style.zip64;
    input.zip64LocalSizes = style.localSizes;
    input.sizesInLocalHeader = style.sizesInLocalHeader;
    return input;
}

std::vector<EntryToWrite> StreamedEntries(const StreamStyle& style) {
    return {Streamed(style, "text/long.txt", TextContent("long", 70000)),
            Streamed(style, "noise.bin", NoiseContent(5, 20000)),
            Streamed(style, "text/short.txt", TextContent("short", 120)), Streamed(style, "one.txt", ToBytes("1"))};
}

const StreamStyle kStyles[] = {
    {"Deflated", Method::Deflated, true, false, Zip64LocalSizes::Zero, false},
    {"DeflatedNoSignature", Method::Deflated, false, false, Zip64LocalSizes::Zero, false},
    {"DeflatedZip64", Method::Deflated, true, true, Zip64LocalSizes::Zero, false},
    {"DeflatedZip64NoSignature", Method::Deflated, false, true, Zip64LocalSizes::Zero, false},
    {"DeflatedZip64Sentinel", Method::Deflated, true, true, Zip64LocalSizes::Sentinel, false},
    {"DeflatedSizesKnown", Method::Deflated, true, false, Zip64LocalSizes::Zero, true},
    {"DeflatedSizesKnownNoSignature", Method::Deflated, false, false, Zip64LocalSizes::Zero, true},
    {"DeflatedZip64SizesKnown", Method::Deflated, true, true, Zip64LocalSizes::Sentinel, true},
    {"Stored", Method::Stored, true, false, Zip64LocalSizes::Zero, false},
    {"StoredZip64", Method::Stored, true, true, Zip64LocalSizes::Zero, false},
    {"StoredSizesKnown", Method::Stored, true, false, Zip64LocalSizes::Zero, true},
};

class StreamedArchive : public ::testing::TestWithParam<std::tuple<StreamStyle, RepairMode, bool>> {};

TEST_P(StreamedArchive, ComesOutCompleteAndExact) {
    const StreamStyle& style = std::get<0>(GetParam());
    std::vector<EntryToWrite> inputs = StreamedEntries(style);
    BuildOptions options;
    options.centralDirectory = std::get<2>(GetParam());
    SalvageRun run(BuildZip(inputs, options).bytes, std::get<1>(GetParam()));
    EXPECT_FALSE(run.openThrew) << run.openError;
    EXPECT_EQ(run.Count(), inputs.size());
    for (const EntryToWrite& input : inputs) EXPECT_TRUE(IsIntact(run, input.name, input.data));
    EXPECT_EQ(run.files.size(), inputs.size());
}

std::string StreamedName(const ::testing::TestParamInfo<std::tuple<StreamStyle, RepairMode, bool>>& info) {
    return std::string(std::get<0>(info.param).label) + "_" + ModeName(std::get<1>(info.param)) +
           (std::get<2>(info.param) ? "_WithCentral" : "_NoCentral");
}

INSTANTIATE_TEST_SUITE_P(Table, StreamedArchive,
                         ::testing::Combine(::testing::ValuesIn(kStyles), kBothModes, ::testing::Bool()), StreamedName);

class StreamedEdges : public ::testing::TestWithParam<RepairMode> {};

// A stored streamed entry ends only at a descriptor whose compressed size
// equals the distance from the data start and whose CRC-32 matches: a
// signature inside the data that fails either test is data.
TEST_P(StreamedEdges, StoredEntryIgnoresFalseDescriptorsInItsData) {
    StreamStyle style{"Stored", Method::Stored, true, false, Zip64LocalSizes::Zero, false};
    Bytes tricky = ToBytes("start ");
    Bytes fake = {0x50, 0x4B, 0x07, 0x08, 1, 2, 3, 4, 6, 0, 0, 0, 6, 0, 0, 0};  // size right, CRC wrong
    tricky.insert(tricky.end(), fake.begin(), fake.end());
    Bytes fake2 = {0x50, 0x4B, 0x07, 0x08, 1, 2, 3, 4, 9, 9, 0, 0, 9, 9, 0, 0};  // size wrong
    tricky.insert(tricky.end(), fake2.begin(), fake2.end());
    Bytes tail = ToBytes(" end of the tricky entry");
    tricky.insert(tricky.end(), tail.begin(), tail.end());
    std::vector<EntryToWrite> inputs = {Streamed(style, "tricky.bin", tricky), Deflated("after.txt", "after")};
    SalvageRun run(BuildZip(inputs).bytes, GetParam());
    EXPECT_TRUE(IsIntact(run, "tricky.bin", tricky));
    EXPECT_TRUE(IsIntact(run, "after.txt", inputs[1].data));
}

// Streamed entries whose descriptor cannot be read. The central record
// naming the entry gives its CRC-32 and sizes (stored data takes them only
// when the CRC-32 of its bytes agrees), as does a descriptor without
// signature in front of the next header. Stored data whose end is found
// nowhere is written up to the next record, or to the end of the file, and
// reported truncated; its neighbours are not touched.
enum class LostEnd { NoSignature, ZeroedDescriptor, CutInData };

struct LostEndCase {
    const char* label;
    Method method;
    LostEnd damage;
    bool directory;
    ExtractOutcome outcome;
};

void PrintTo(const LostEndCase& c, std::ostream* os) { *os << c.label; }

class LostEnds : public ::testing::TestWithParam<std::tuple<LostEndCase, RepairMode>> {};

TEST_P(LostEnds, TakeWhatTheArchiveStillKnows) {
    const LostEndCase& c = std::get<0>(GetParam());
    StreamStyle style{"", c.method, c.damage != LostEnd::NoSignature, false, Zip64LocalSizes::Zero, false};
    std::vector<EntryToWrite> inputs = {Deflated("before.txt", TextContent("b", 900)),
                                        Streamed(style, "lost.txt", TextContent("lost", 7000)),
                                        Deflated("after.txt", TextContent("a", 900))};
    BuiltZip zip = BuildZip(inputs);
    const EntryLayout lost = zip.entries[1];
    if (c.damage == LostEnd::ZeroedDescriptor) ZeroRange(zip.bytes, lost.descriptor, 16);
    if (!c.directory) DropCentralDirectory(zip);
    if (c.damage == LostEnd::CutInData) TruncateAt(zip.bytes, lost.dataStart + 5000);
    SalvageRun run(zip.bytes, std::get<1>(GetParam()));
    EXPECT_TRUE(IsIntact(run, "before.txt", inputs[0].data));
    if (c.damage != LostEnd::CutInData) {
        EXPECT_TRUE(IsIntact(run, "after.txt", inputs[2].data));
    }
    const EntryRun* entry = run.Find("lost.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, c.outcome) << entry->report.detail;
    Bytes expected = inputs[1].data;
    if (c.outcome == ExtractOutcome::Truncated && c.damage == LostEnd::CutInData) expected.resize(5000);
    if (c.outcome == ExtractOutcome::Truncated && c.damage == LostEnd::ZeroedDescriptor)
        expected.insert(expected.end(), 16, 0);  // up to the next header: the zeroed descriptor too
    EXPECT_EQ(run.FileContent("lost.txt"), expected);
}

const LostEndCase kLostEnds[] = {
    {"StoredNoSignature", Method::Stored, LostEnd::NoSignature, true, ExtractOutcome::Ok},
    {"StoredNoSignatureNoDirectory", Method::Stored, LostEnd::NoSignature, false, ExtractOutcome::Ok},
    {"StoredZeroedDescriptor", Method::Stored, LostEnd::ZeroedDescriptor, true, ExtractOutcome::Ok},
    {"StoredZeroedDescriptorNoDirectory", Method::Stored, LostEnd::ZeroedDescriptor, false, ExtractOutcome::Truncated},
    {"StoredCutInData", Method::Stored, LostEnd::CutInData, false, ExtractOutcome::Truncated},
    {"DeflatedZeroedDescriptor", Method::Deflated, LostEnd::ZeroedDescriptor, true, ExtractOutcome::Ok},
};

INSTANTIATE_TEST_SUITE_P(Table, LostEnds, ::testing::Combine(::testing::ValuesIn(kLostEnds), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<LostEndCase, RepairMode>>& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

// A streamed deflated entry cut off inside its data keeps what is there.
TEST_P(StreamedEdges, TruncatedStreamedEntryKeepsWhatIsThere) {
    StreamStyle style{"Deflated", Method::Deflated, true, false, Zip64LocalSizes::Zero, false};
    std::vector<EntryToWrite> inputs = {Streamed(style, "first.txt", TextContent("f", 5000)),
                                        Streamed(style, "cut.bin", NoiseContent(3, 30000))};
    BuiltZip zip = BuildZip(inputs);
    TruncateAt(zip.bytes, zip.entries[1].dataStart + 20000);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_TRUE(IsIntact(run, "first.txt", inputs[0].data));
    const EntryRun* cut = run.Find("cut.bin");
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->report.outcome, ExtractOutcome::Truncated) << cut->report.detail;
    std::optional<Bytes> written = run.FileContent("cut.bin");
    ASSERT_TRUE(written.has_value());
    EXPECT_GT(written->size(), 10000u);
    EXPECT_TRUE(std::equal(written->begin(), written->end(), inputs[1].data.begin()));
}

// A streamed entry whose data is corrupt is damaged; the next one is fine.
TEST_P(StreamedEdges, CorruptStreamedEntryCostsOnlyItself) {
    StreamStyle style{"Deflated", Method::Deflated, false, false, Zip64LocalSizes::Zero, false};
    std::vector<EntryToWrite> inputs = {Streamed(style, "bad.txt", TextContent("bad", 30000)),
                                        Streamed(style, "good.txt", TextContent("good", 30000))};
    BuiltZip zip = BuildZip(inputs);
    ZeroRange(zip.bytes, zip.entries[0].dataStart + 500, 300);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_TRUE(IsIntact(run, "good.txt", inputs[1].data));
    const EntryRun* bad = run.Find("bad.txt");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->report.outcome, ExtractOutcome::Damaged) << bad->report.detail;
}

// The 16 bytes in front of a header describe the entry whose data ends
// there. The streamed entries take the descriptors' values; the ordinary
// entries after them keep their own.
TEST_P(StreamedEdges, DescriptorInFrontOfAHeaderBelongsToTheEntryBefore) {
    StreamStyle deflated{"Deflated", Method::Deflated, true, false, Zip64LocalSizes::Zero, false};
    StreamStyle stored{"Stored", Method::Stored, true, false, Zip64LocalSizes::Zero, false};
    std::vector<EntryToWrite> inputs = {Streamed(deflated, "streamed.txt", TextContent("s", 8000)),
                                        Deflated("plain.txt", TextContent("p", 5000)),
                                        Streamed(stored, "streamed-stored.txt", TextContent("t", 700)),
                                        Stored("plain-stored.txt", TextContent("u", 600))};
    BuiltZip zip = BuildZip(inputs);
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", zip.bytes);
    CZipArchive archive;
    archive.OpenArchive(folder / "a.zip", static_cast<RepairMode>(GetParam()));
    ASSERT_EQ(archive.GetCount(), inputs.size());
    const std::vector<ExtractReport> reports = SalvageAll(archive, folder / "out");
    ASSERT_EQ(reports.size(), inputs.size());
    for (std::uint32_t i = 0; i < inputs.size(); ++i) {
        CFileHeader info;
        ASSERT_TRUE(archive.GetEntryInfo(info, i));
        EXPECT_EQ(info.fileName, inputs[i].name);
        EXPECT_EQ(info.crc32, zip.entries[i].crc32) << inputs[i].name;
        EXPECT_EQ(info.compressedSize, zip.entries[i].compressedSize) << inputs[i].name;
        EXPECT_EQ(info.uncompressedSize, zip.entries[i].uncompressedSize) << inputs[i].name;
        EXPECT_EQ(reports[i].outcome, ExtractOutcome::Ok) << inputs[i].name << ": " << reports[i].detail;
        EXPECT_EQ(ReadFileBytes(folder / "out" / inputs[i].name), inputs[i].data);
    }
}

// The same archive object and scan state serve one archive after another:
// what one open learned about descriptors does not spoil the next.
TEST_P(StreamedEdges, ReopeningWithTheSameStateGivesTheSameResult) {
    StreamStyle style{"DeflatedNoSignature", Method::Deflated, false, false, Zip64LocalSizes::Zero, true};
    StreamStyle signed32{"Deflated", Method::Deflated, true, false, Zip64LocalSizes::Zero, false};
    TempFolder folder;
    WriteFileBytes(folder / "a.zip", BuildZip(StreamedEntries(signed32)).bytes);
    WriteFileBytes(folder / "b.zip", BuildZip(StreamedEntries(style)).bytes);
    CZipArchive archive;
    for (const char* name : {"a.zip", "b.zip", "a.zip"}) {
        archive.OpenArchive(folder / name, static_cast<RepairMode>(GetParam()));
        ASSERT_EQ(archive.GetCount(), 4u) << name;
        for (const ExtractReport& report : SalvageAll(archive, folder / "out"))
            EXPECT_EQ(report.outcome, ExtractOutcome::Ok) << name << ": " << report.detail;
        archive.CloseArchive(true);
    }
}

// A streaming writer that stores a ZIP file as it is leaves that file's
// headers visible in the outer archive. The archive is healthy: every outer
// entry must come out exact, none overwritten by an inner entry that has the
// same name.
TEST_P(StreamedEdges, StoredZipInsideAStreamedEntryCostsNoOuterEntry) {
    Bytes inner = BuildZip({Stored("a.txt", "inner a"), Deflated("b.txt", TextContent("inner b", 900))}).bytes;
    StreamStyle deflated{"Deflated", Method::Deflated, true, false, Zip64LocalSizes::Zero, false};
    StreamStyle stored{"Stored", Method::Stored, true, false, Zip64LocalSizes::Zero, false};
    std::vector<EntryToWrite> inputs = {Streamed(deflated, "a.txt", TextContent("outer a", 3000)),
                                        Streamed(stored, "inner.zip", inner),
                                        Streamed(deflated, "b.txt", TextContent("outer b", 3000))};
    SalvageRun run(BuildZip(inputs).bytes, GetParam());
    EXPECT_EQ(run.FileContent("a.txt"), inputs[0].data) << "outer a.txt overwritten";
    EXPECT_EQ(run.FileContent("inner.zip"), inner);
    EXPECT_EQ(run.FileContent("b.txt"), inputs[2].data) << "outer b.txt overwritten";
}

// A streamed entry whose descriptor is gone and whose central record was
// written before its sizes were known (both sizes 0) still holds its
// compressed stream. The stream's own end tells where the entry ends: all
// of it is written. With CRC-32 0 as well, nobody wrote a CRC-32 to check
// it against, and it is not called ok; a CRC-32 the record does give is
// checked. The descriptor is zeroed in the middle of the archive, and left
// out altogether in front of the central directory.
TEST_P(StreamedEdges, StreamWithItsSizesNowhereIsReadToItsOwnEnd) {
    const std::optional<Codec> codecs[] = {std::nullopt, Codec::BZip2, Codec::LzmaEndMarker, Codec::Xz, Codec::Zstd};
    for (const std::optional<Codec>& codec : codecs) {
        if (codec && (!HaveEncoder(*codec) || !IsReadableMethod(CodecMethod(*codec)))) continue;
        SCOPED_TRACE(codec ? CodecName(*codec) : "Deflate");
        const Bytes content = TextContent("sizeless", 150000);
        for (auto [last, crcKept] : {std::pair(false, false), std::pair(true, false), std::pair(true, true)}) {
            SCOPED_TRACE(std::string(last ? "descriptor left out" : "descriptor zeroed") +
                         (crcKept ? ", CRC-32 in the central record" : ""));
            EntryToWrite lost = codec ? Compressed(*codec, "lost.txt", content) : Deflated("lost.txt", content);
            lost.streamed = true;
            std::vector<EntryToWrite> inputs = {Deflated("before.txt", TextContent("b", 900)), lost};
            if (!last) inputs.push_back(Deflated("after.txt", TextContent("a", 900)));
            BuiltZip zip = BuildZip(inputs);
            const EntryLayout& layout = zip.entries[1];
            // The central record's CRC-32 (unless kept), compressed and uncompressed size.
            ZeroRange(zip.bytes, layout.centralHeader + (crcKept ? 20 : 16), crcKept ? 8 : 12);
            if (last)
                zip.bytes.erase(zip.bytes.begin() + static_cast<std::ptrdiff_t>(layout.descriptor),
                                zip.bytes.begin() + static_cast<std::ptrdiff_t>(layout.descriptorEnd));
            else
                ZeroRange(zip.bytes, layout.descriptor, layout.descriptorEnd - layout.descriptor);
            SalvageRun run(zip.bytes, GetParam());
            ExpectIntactExcept(run, inputs, {1});
            const EntryRun* entry = run.Find("lost.txt");
            ASSERT_NE(entry, nullptr);
            EXPECT_EQ(entry->report.outcome, crcKept ? ExtractOutcome::Ok : ExtractOutcome::Damaged);
            EXPECT_EQ(entry->report.detail, crcKept ? "" : "no data descriptor: CRC-32 cannot be checked");
            EXPECT_EQ(entry->report.bytesWritten, content.size());
            EXPECT_EQ(run.FileContent("lost.txt"), content);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothModes, StreamedEdges, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
