// Entries compressed with BZip2, LZMA (with and without its end marker), XZ
// and Zstandard, made by the libraries' own encoders, in both repair modes:
// healthy, streamed, made of several streams, cut or corrupt in the middle,
// and with headers that ask for more memory than extraction allows. Damage
// keeps what was decoded and never costs the neighbours.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/CompressionMethods.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Encoders.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

const Codec kCodecs[] = {Codec::BZip2, Codec::Lzma, Codec::LzmaEndMarker, Codec::Xz, Codec::Zstd};

class Methods : public ::testing::TestWithParam<std::tuple<Codec, RepairMode>> {
protected:
    void SetUp() override {
        if (!HaveEncoder(codec()) || !IsReadableMethod(CodecMethod(codec())))
            GTEST_SKIP() << CodecName(codec()) << " is not in this build";
    }
    Codec codec() const { return std::get<0>(GetParam()); }
    RepairMode mode() const { return std::get<1>(GetParam()); }
};

// Large enough for several BZip2 blocks (100 000 bytes each here) and
// several Zstandard blocks (128 KiB).
Bytes LargeText(const char* seed) { return TextContent(seed, 600000); }

std::size_t CommonPrefix(const Bytes& a, const Bytes& b) {
    return static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first - a.begin());
}

TEST_P(Methods, HealthyEntriesComeOutExact) {
    std::vector<EntryToWrite> inputs = {
        Compressed(codec(), "text/large.txt", LargeText("large")),
        Compressed(codec(), "noise.bin", NoiseContent(9, 70000)), Deflated("plain.txt", TextContent("plain", 3000)),
        Compressed(codec(), "one.txt", ToBytes("1")), Stored("stored.txt", TextContent("stored", 500))};
    for (std::size_t bufferSize : {std::size_t{65535}, std::size_t{31}}) {
        SCOPED_TRACE(bufferSize);
        SalvageOptions options;
        options.bufferSize = bufferSize;
        SalvageRun run(BuildZip(inputs).bytes, mode(), options);
        EXPECT_EQ(run.Count(), inputs.size());
        ExpectIntactExcept(run, inputs, {});
    }
}

// Sizes unknown in the local header, a descriptor after the data; with the
// central directory lost, only the stream's own end and the descriptor tell.
// (LZMA without its end marker has no end of its own: a streaming writer
// always sets the marker, and such an entry needs its central record.)
TEST_P(Methods, StreamedEntriesComeOutExact) {
    std::vector<EntryToWrite> inputs = {Compressed(codec(), "a.txt", TextContent("a", 90000)),
                                        Compressed(codec(), "b.bin", NoiseContent(2, 5000)),
                                        Compressed(codec(), "c.txt", TextContent("c", 40))};
    for (EntryToWrite& input : inputs) input.streamed = true;
    inputs[1].descriptorSignature = false;
    for (bool directory : {true, false}) {
        if (!directory && codec() == Codec::Lzma) continue;
        SCOPED_TRACE(directory ? "with central directory" : "without central directory");
        BuildOptions options;
        options.centralDirectory = directory;
        SalvageRun run(BuildZip(inputs, options).bytes, mode());
        EXPECT_EQ(run.Count(), inputs.size());
        ExpectIntactExcept(run, inputs, {});
    }
}

TEST_P(Methods, CutInTheMiddleKeepsWhatWasDecoded) {
    std::vector<EntryToWrite> inputs = {Compressed(codec(), "first.txt", TextContent("first", 5000)),
                                        Compressed(codec(), "cut.txt", LargeText("cut"))};
    BuiltZip zip = BuildZip(inputs);
    const EntryLayout& cut = zip.entries[1];
    TruncateAt(zip.bytes, cut.dataStart + (cut.dataEnd - cut.dataStart) / 2);
    SalvageRun run(zip.bytes, mode());
    EXPECT_TRUE(IsIntact(run, "first.txt", inputs[0].data));
    const EntryRun* entry = run.Find("cut.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Truncated) << entry->report.detail;
    const std::optional<Bytes> written = run.FileContent("cut.txt");
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(IsPrefix(*written, inputs[1].data));
    EXPECT_GT(written->size(), inputs[1].data.size() / 5);
}

TEST_P(Methods, CorruptInTheMiddleIsDamagedAndKeepsTheStart) {
    std::vector<EntryToWrite> inputs = {Compressed(codec(), "bad.txt", LargeText("bad")),
                                        Compressed(codec(), "after.txt", TextContent("after", 20000)),
                                        Deflated("last.txt", TextContent("last", 2000))};
    BuiltZip zip = BuildZip(inputs);
    const EntryLayout& bad = zip.entries[0];
    FillRange(zip.bytes, bad.dataStart + (bad.dataEnd - bad.dataStart) / 2, 64, 0x5A);
    SalvageRun run(zip.bytes, mode());
    ExpectIntactExcept(run, inputs, {0});
    const EntryRun* entry = run.Find("bad.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << entry->report.detail;
    const std::optional<Bytes> written = run.FileContent("bad.txt");
    ASSERT_TRUE(written.has_value());
    EXPECT_GT(CommonPrefix(*written, inputs[0].data), inputs[0].data.size() / 5);
}

// A damaged header that declares too small a compressed size does not cut
// the stream short: its own end decides, and the entry is reported damaged
// for the wrong size, with every byte written.
TEST_P(Methods, WrongCompressedSizeNeitherCutsNorAdds) {
    std::vector<EntryToWrite> inputs = {Compressed(codec(), "sized.txt", TextContent("sized", 50000)),
                                        Deflated("next.txt", TextContent("next", 700))};
    BuiltZip zip = BuildZip(inputs);
    const EntryLayout& sized = zip.entries[0];
    SetLocalField(zip.bytes, sized, LocalField::CompressedSize, static_cast<std::uint32_t>(sized.compressedSize / 2));
    SetCentralField(zip.bytes, sized, CentralField::CompressedSize,
                    static_cast<std::uint32_t>(sized.compressedSize / 2));
    SalvageRun run(zip.bytes, mode());
    EXPECT_TRUE(IsIntact(run, "next.txt", inputs[1].data));
    const EntryRun* entry = run.Find("sized.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << entry->report.detail;
    EXPECT_NE(entry->report.detail.find("stream holds " + std::to_string(sized.compressedSize)), std::string::npos)
        << entry->report.detail;
    EXPECT_EQ(run.FileContent("sized.txt"), inputs[0].data);
}

INSTANTIATE_TEST_SUITE_P(Table, Methods, ::testing::Combine(::testing::ValuesIn(kCodecs), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<Codec, RepairMode>>& info) {
                             return std::string(CodecName(std::get<0>(info.param))) + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

// --- Several streams in one entry --------------------------------------------

class ConcatenatedStreams : public ::testing::TestWithParam<std::tuple<Codec, RepairMode>> {};

// Parallel compressors write one stream (or frame) per piece; the pieces
// follow each other at once and are one entry.
TEST_P(ConcatenatedStreams, AreReadAsOneEntry) {
    const Codec codec = std::get<0>(GetParam());
    if (!HaveEncoder(codec) || !IsReadableMethod(CodecMethod(codec)))
        GTEST_SKIP() << CodecName(codec) << " is not in this build";
    const Bytes first = TextContent("first piece", 150000);
    const Bytes second = NoiseContent(4, 20000);
    const Bytes third = TextContent("third piece", 3000);
    EntryToWrite joined = Compressed(codec, "joined.txt", first);
    for (const Bytes* piece : {&second, &third}) {
        const Bytes more = Compress(codec, *piece);
        joined.rawData->insert(joined.rawData->end(), more.begin(), more.end());
        joined.data.insert(joined.data.end(), piece->begin(), piece->end());
    }
    std::vector<EntryToWrite> inputs = {joined, Deflated("after.txt", "after")};
    SalvageRun run(BuildZip(inputs).bytes, std::get<1>(GetParam()));
    ExpectIntactExcept(run, inputs, {});
}

INSTANTIATE_TEST_SUITE_P(Table, ConcatenatedStreams,
                         ::testing::Combine(::testing::Values(Codec::BZip2, Codec::Xz, Codec::Zstd), kBothModes),
                         [](const ::testing::TestParamInfo<std::tuple<Codec, RepairMode>>& info) {
                             return std::string(CodecName(std::get<0>(info.param))) + "_" +
                                    ModeName(std::get<1>(info.param));
                         });

// --- Hostile headers ---------------------------------------------------------

class MemoryHungryHeaders : public ::testing::TestWithParam<RepairMode> {};

// An LZMA dictionary never takes more memory than the entry's size needs.
// Properties asking for 4 GiB cost nothing on a small entry, with or without
// the end marker; with a hostile size as well the stream is refused with the
// reason, and its neighbours are not touched.
TEST_P(MemoryHungryHeaders, LzmaDictionaryBeyondTheLimit) {
    if (!HaveEncoder(Codec::Lzma) || !IsReadableMethod(14)) GTEST_SKIP() << "LZMA is not in this build";
    const Bytes content = TextContent("greedy", 30000);
    EntryToWrite greedy = Compressed(Codec::LzmaEndMarker, "greedy.txt", content);
    greedy.rawData = LzmaZipPayload(content, true, 0xFFFFFFFFu);
    EntryToWrite marked = Compressed(Codec::LzmaEndMarker, "marked.txt", content);
    marked.rawData = greedy.rawData;
    EntryToWrite bounded = Compressed(Codec::Lzma, "bounded.txt", content);
    bounded.rawData = LzmaZipPayload(content, false, 0xFFFFFFFFu);
    std::vector<EntryToWrite> inputs = {greedy, marked, bounded, Deflated("after.txt", "after")};
    BuiltZip zip = BuildZip(inputs);
    SetLocalField(zip.bytes, zip.entries[0], LocalField::UncompressedSize, 0xFFFFFF00u);
    SalvageRun run(zip.bytes, GetParam());
    ExpectIntactExcept(run, inputs, {0});
    const EntryRun* entry = run.Find("greedy.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged);
    EXPECT_EQ(entry->report.detail, "LZMA dictionary too large (4096 MiB; at most 256 MiB)");
    EXPECT_EQ(entry->report.bytesWritten, 0u);
}

TEST_P(MemoryHungryHeaders, ZstandardWindowBeyondTheLimit) {
    if (!HaveEncoder(Codec::Zstd) || !IsReadableMethod(93)) GTEST_SKIP() << "Zstandard is not in this build";
    const Bytes content = TextContent("wide", 30000);
    EntryToWrite wide = Compressed(Codec::Zstd, "wide.txt", content);
    wide.rawData = ZstdFrameAskingForWindow(content, 31);
    EntryToWrite fine = Compressed(Codec::Zstd, "fine.txt", content);
    fine.rawData = ZstdFrameAskingForWindow(content, 20);
    std::vector<EntryToWrite> inputs = {wide, fine};
    SalvageRun run(BuildZip(inputs).bytes, GetParam());
    ExpectIntactExcept(run, inputs, {0});
    const EntryRun* entry = run.Find("wide.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged);
    EXPECT_NE(entry->report.detail.find("window too large"), std::string::npos) << entry->report.detail;
}

// The same frames in streamed entries, with the central directory and
// without. One holds empty content, so what its descriptor and central
// record declare (size 0, CRC-32 0) is matched by nothing written at all:
// a refused stream is no whole entry all the same, and says why.
TEST_P(MemoryHungryHeaders, ZstandardWindowBeyondTheLimitInStreamedEntries) {
    if (!HaveEncoder(Codec::Zstd) || !IsReadableMethod(93)) GTEST_SKIP() << "Zstandard is not in this build";
    const Bytes content = TextContent("wide", 30000);
    std::vector<EntryToWrite> inputs;
    for (const Bytes& data : {content, Bytes{}, content}) {
        EntryToWrite input = Compressed(Codec::Zstd, "e" + std::to_string(inputs.size()) + ".txt", data);
        input.rawData = ZstdFrameAskingForWindow(data, inputs.size() < 2 ? 31 : 20);
        input.streamed = true;
        inputs.push_back(input);
    }
    inputs.push_back(Deflated("after.txt", "after"));
    for (bool central : {true, false}) {
        SCOPED_TRACE(central ? "with central directory" : "without central directory");
        BuildOptions options;
        options.centralDirectory = central;
        SalvageRun run(BuildZip(inputs, options).bytes, GetParam());
        ExpectIntactExcept(run, inputs, {0, 1});
        for (const char* name : {"e0.txt", "e1.txt"}) {
            const EntryRun* entry = run.Find(name);
            ASSERT_NE(entry, nullptr) << name;
            EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged) << name;
            EXPECT_EQ(entry->report.detail, "Zstandard window too large (more than 256 MiB)") << name;
            EXPECT_EQ(entry->report.bytesWritten, 0u) << name;
        }
    }
}

// A few kilobytes that decompress to far more than the header declares are
// stopped at twice the declared size, or the run-on allowance above it: a
// wrong size is no reason to stop early, but the disk is not filled.
TEST_P(MemoryHungryHeaders, RunawayStreamIsStoppedPastItsDeclaredSize) {
    if (!HaveEncoder(Codec::Zstd) || !IsReadableMethod(93)) GTEST_SKIP() << "Zstandard is not in this build";
    const Bytes zeros(20u << 20, 0);
    std::vector<EntryToWrite> inputs = {Compressed(Codec::Zstd, "runaway.bin", zeros), Deflated("after.txt", "after")};
    BuiltZip zip = BuildZip(inputs);
    SetLocalField(zip.bytes, zip.entries[0], LocalField::UncompressedSize, 1000);
    SalvageRun run(zip.bytes, GetParam());
    EXPECT_TRUE(IsIntact(run, "after.txt", inputs[1].data));
    const EntryRun* entry = run.Find("runaway.bin");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->report.outcome, ExtractOutcome::Damaged);
    EXPECT_NE(entry->report.detail.find("far past the declared size"), std::string::npos) << entry->report.detail;
    EXPECT_EQ(entry->report.bytesWritten, 1000 + (16u << 20));
}

INSTANTIATE_TEST_SUITE_P(BothModes, MemoryHungryHeaders, kBothModes, ModeParamName());

}  // namespace
}  // namespace tessaly::archivetest
