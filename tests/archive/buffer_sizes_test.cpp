// The salvage corpus read through small, odd-sized buffers: the scan window,
// the decoder's compressed input and the extraction's output block shrunk to
// 1, 7 and 4 093 bytes (ScopedBufferSizes, and the block size extraction is
// given). Records, names, descriptors, streams and their tails then straddle
// buffer boundaries everywhere; every archive must still salvage exactly as
// it does at the default sizes: the same entries listed, the same outcomes
// and reasons, the same bytes and CRC-32 written.
//
// The corpus is the damage the other suites build (truncations, zeroed and
// flipped bytes, garbled central records, a stub in front, streamed entries
// with lost ends, a text-mode transfer, encryption, every compression method
// this build reads), with contents scaled down for the smallest sizes so
// that reading a byte at a time stays quick under the sanitizers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/BufferSizes.h"
#include "archive/CompressionMethods.h"
#include "archive/scan/ScanWindow.h"
#include "platform/File.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/Encoders.h"
#include "tests/support/TempFolder.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

constexpr char kPassword[] = "odd sizes";

// One archive of the corpus, and the entries that must come out intact
// from it at the default sizes (the damage leaves them alone).
struct CorpusArchive {
    std::string label;
    Bytes bytes;
    std::vector<EntryToWrite> intact;
};

// Builds the corpus with every content size a multiple of `unit` bytes
// (1000 gives the sizes the damage suite uses).
class CorpusBuilder {
public:
    explicit CorpusBuilder(std::size_t unit) : unit_(unit) {}

    std::vector<CorpusArchive> Build() {
        AddFiveEntryDamage();
        AddCutStreams();
        AddStreamed();
        AddOtherMethods();
        AddEncrypted();
        AddRandomDamage();
        return std::move(corpus_);
    }

private:
    std::size_t Units(double n) const { return static_cast<std::size_t>(n * static_cast<double>(unit_)); }

    void Add(std::string label, Bytes bytes, std::vector<EntryToWrite> intact) {
        corpus_.push_back({std::move(label), std::move(bytes), std::move(intact)});
    }

    // Every input except those at `touched`.
    static std::vector<EntryToWrite> Except(const std::vector<EntryToWrite>& inputs,
                                            const std::vector<std::size_t>& touched) {
        std::vector<EntryToWrite> kept;
        for (std::size_t i = 0; i < inputs.size(); ++i)
            if (std::find(touched.begin(), touched.end(), i) == touched.end()) kept.push_back(inputs[i]);
        return kept;
    }

    std::vector<EntryToWrite> FiveEntries() const {
        return {Stored("s0.txt", TextContent("s0", Units(3))), Deflated("d1.txt", TextContent("d1", Units(20))),
                Stored("s2.bin", NoiseContent(2, Units(5))), Deflated("d3.txt", TextContent("d3", Units(30))),
                Deflated("dir/d4.bin", NoiseContent(4, Units(4)))};
    }

    // The damage suite's truncations and damage, on its five entries.
    void AddFiveEntryDamage() {
        const std::vector<EntryToWrite> inputs = FiveEntries();
        const BuiltZip whole = BuildZip(inputs);
        const auto middle = [](const EntryLayout& e) { return e.dataStart + (e.dataEnd - e.dataStart) / 2; };
        const auto quarter = [](const EntryLayout& e) { return (e.dataEnd - e.dataStart) / 4; };
        struct Damage {
            const char* label;
            std::function<void(BuiltZip&)> apply;
            std::vector<std::size_t> touched;
        };
        const Damage damages[] = {
            {"Healthy", [](BuiltZip&) {}, {}},
            {"CutInHeader", [](BuiltZip& z) { TruncateAt(z.bytes, z.entries[2].localHeader + 17); }, {2, 3, 4}},
            {"CutInName", [](BuiltZip& z) { TruncateAt(z.bytes, z.entries[3].nameOffset + 2); }, {3, 4}},
            {"CutInStoredData", [&](BuiltZip& z) { TruncateAt(z.bytes, middle(z.entries[2])); }, {2, 3, 4}},
            {"CutInDeflatedData", [&](BuiltZip& z) { TruncateAt(z.bytes, middle(z.entries[1])); }, {1, 2, 3, 4}},
            {"CutInCentralDirectory", [](BuiltZip& z) { TruncateAt(z.bytes, z.entries[4].centralHeader + 20); }, {}},
            {"ZeroedLocalHeader", [](BuiltZip& z) { ZeroRange(z.bytes, z.entries[2].localHeader, 30); }, {2}},
            {"ZeroedDeflatedData",
             [&](BuiltZip& z) { ZeroRange(z.bytes, middle(z.entries[1]), quarter(z.entries[1])); },
             {1}},
            {"ZeroedStoredData",
             [&](BuiltZip& z) { ZeroRange(z.bytes, middle(z.entries[2]), quarter(z.entries[2])); },
             {2}},
            {"ZeroedAcrossTwoEntries",
             [](BuiltZip& z) { ZeroRange(z.bytes, z.entries[1].dataEnd - 100, 200); },
             {1, 2}},
            {"ZeroedCentralDirectory",
             [](BuiltZip& z) { ZeroRange(z.bytes, z.centralDirectory, z.bytes.size() - z.centralDirectory); },
             {}},
            {"InvalidBlockType", [](BuiltZip& z) { z.bytes[z.entries[3].dataStart] |= 0x06; }, {3}},
            {"FlippedBitsInDeflate",
             [&](BuiltZip& z) {
                 for (std::size_t k = 0; k < 8; ++k) FlipBits(z.bytes, middle(z.entries[3]) + k * 7, 0x5A);
             },
             {3}},
            {"GarbledCentralHeaders",
             [](BuiltZip& z) {
                 for (const EntryLayout& e : z.entries) {
                     SetCentralField(z.bytes, e, CentralField::CompressedSize, 0xFFFFFFF0);
                     SetCentralField(z.bytes, e, CentralField::NameLength, 0xFFFF);
                 }
             },
             {}},
            {"StubInFront", [](BuiltZip& z) { PrependStub(z, Garbage(777), false); }, {}},
            {"NoCentralDirectory", [](BuiltZip& z) { DropCentralDirectory(z); }, {}},
            {"TextModeTransfer", [](BuiltZip& z) { z.bytes = TextModeTransfer(z.bytes); }, {0, 1, 2, 3, 4}},
        };
        for (const Damage& damage : damages) {
            BuiltZip zip = whole;
            damage.apply(zip);
            Add(damage.label, std::move(zip.bytes), Except(inputs, damage.touched));
        }
    }

    // Streams cut off at points that fall inside a code, a stored block and a
    // match: the tail the decoder still decides comes out at any buffer size.
    void AddCutStreams() {
        Bytes content = TextContent("tail", Units(12));
        content.insert(content.end(), Units(3), 'a');
        const Bytes noise = NoiseContent(11, Units(2));
        content.insert(content.end(), noise.begin(), noise.end());
        const BuiltZip whole = BuildZip({Deflated("cut.txt", content), Stored("stored.bin", noise)});
        const EntryLayout& entry = whole.entries[0];
        const std::size_t length = entry.dataEnd - entry.dataStart;
        for (std::size_t cut : {std::size_t{41}, length / 3 + 1, length / 2, length - 3}) {
            Bytes bytes = whole.bytes;
            TruncateAt(bytes, entry.dataStart + cut);
            Add("DeflateCutAt" + std::to_string(cut), std::move(bytes), {});
        }
        if (!IsReadableMethod(9)) return;
        EntryToWrite far = Stored("far.bin", content);
        far.rawData = CompressDeflate64(content, {false, 400});
        far.methodOverride = 9;
        const std::vector<EntryToWrite> inputs = {far, Deflated("after.txt", TextContent("after", Units(2)))};
        BuiltZip zip = BuildZip(inputs);
        Add("Deflate64", zip.bytes, inputs);
        TruncateAt(zip.bytes, zip.entries[0].dataStart + (zip.entries[0].dataEnd - zip.entries[0].dataStart) / 2);
        Add("Deflate64Cut", std::move(zip.bytes), {});
    }

    // The streamed suite's writers: descriptors with and without signature,
    // 32- and 64-bit, stored and deflated, with lost ends.
    void AddStreamed() {
        struct Style {
            const char* label;
            Method method;
            bool signature;
            bool zip64;
        };
        const Style styles[] = {{"StreamedDeflated", Method::Deflated, true, false},
                                {"StreamedDeflatedNoSignature", Method::Deflated, false, false},
                                {"StreamedDeflatedZip64", Method::Deflated, false, true},
                                {"StreamedStored", Method::Stored, true, false},
                                {"StreamedStoredZip64", Method::Stored, true, true}};
        for (const Style& style : styles) {
            std::vector<EntryToWrite> inputs = {Stored("text/long.txt", TextContent("long", Units(17))),
                                                Stored("noise.bin", NoiseContent(5, Units(5))),
                                                Stored("one.txt", ToBytes("1"))};
            for (EntryToWrite& input : inputs) {
                input.method = style.method;
                input.streamed = true;
                input.descriptorSignature = style.signature;
                input.zip64Descriptor = style.zip64;
            }
            BuiltZip zip = BuildZip(inputs);
            Add(style.label, zip.bytes, inputs);
            // The middle entry's descriptor zeroed, the central directory lost:
            // stored data is then written up to the next header.
            ZeroRange(zip.bytes, zip.entries[1].descriptor, zip.entries[1].descriptorEnd - zip.entries[1].descriptor);
            DropCentralDirectory(zip);
            Add(std::string(style.label) + "LostEnd", zip.bytes, Except(inputs, {1}));
            TruncateAt(zip.bytes, zip.entries[0].dataStart + Units(5) + 3);
            Add(std::string(style.label) + "Cut", std::move(zip.bytes), {});
        }
        // A stored archive inside a streamed stored entry.
        const Bytes inner = BuildZip({Stored("a.txt", "inner a"), Deflated("b.txt", TextContent("b", 90))}).bytes;
        std::vector<EntryToWrite> outer = {Deflated("a.txt", TextContent("outer a", Units(3))),
                                           Stored("inner.zip", inner)};
        for (EntryToWrite& input : outer) input.streamed = true;
        Add("StoredZipInside", BuildZip(outer).bytes, outer);
    }

    // Every other method this build reads, whole and cut.
    void AddOtherMethods() {
        std::vector<EntryToWrite> inputs;
        for (Codec codec : {Codec::BZip2, Codec::Lzma, Codec::LzmaEndMarker, Codec::Xz, Codec::Zstd}) {
            if (!HaveEncoder(codec) || !IsReadableMethod(CodecMethod(codec))) continue;
            const std::string name = CodecName(codec);
            inputs.push_back(Compressed(codec, name + ".txt", TextContent(name, Units(4))));
            inputs.push_back(Compressed(codec, name + ".bin", NoiseContent(7, Units(0.3))));
            inputs.back().streamed = codec != Codec::Lzma;
        }
        if (inputs.empty()) return;
        BuiltZip zip = BuildZip(inputs);
        Add("OtherMethods", zip.bytes, inputs);
        for (std::size_t i = 0; i < zip.entries.size(); i += 2) {
            const EntryLayout& e = zip.entries[i];
            FlipBits(zip.bytes, e.dataStart + (e.dataEnd - e.dataStart) * 2 / 3, 0x24);
        }
        Add("OtherMethodsFlipped", zip.bytes, Except(inputs, {0, 2, 4, 6, 8}));
        TruncateAt(zip.bytes, zip.entries.back().dataStart + 5);
        Add("OtherMethodsCut", std::move(zip.bytes), {});
    }

    void AddEncrypted() {
        std::vector<EntryToWrite> inputs = {
            Stored("zc.bin", NoiseContent(6, Units(0.7))), Deflated("zc.txt", TextContent("zc", Units(2))),
            Deflated("aes.txt", TextContent("aes", Units(1.5))), Stored("aes.bin", NoiseContent(8, Units(0.5)))};
        inputs[1].streamed = true;
        for (EntryToWrite& input : inputs) input.password = kPassword;
        inputs[2].aes = EntryToWrite::Aes{1, 1};
        inputs[3].aes = EntryToWrite::Aes{};
        BuiltZip zip = BuildZip(inputs);
        Add("Encrypted", zip.bytes, inputs);
        TruncateAt(zip.bytes, zip.entries[2].dataStart + 40);
        Add("EncryptedCut", std::move(zip.bytes), Except(inputs, {2, 3}));
    }

    // Seeded random damage to a mixed archive: flips, zeroed runs and
    // signature bytes at places no hand-made case picks.
    void AddRandomDamage() {
        std::vector<EntryToWrite> inputs = {
            Stored("a.txt", TextContent("a", Units(0.7))), Deflated("dir/b.txt", TextContent("b", Units(3))),
            Deflated("c.bin", NoiseContent(3, Units(0.9))), Stored("d.bin", NoiseContent(4, Units(0.3)))};
        inputs[2].streamed = true;
        const BuiltZip whole = BuildZip(inputs);
        std::uint64_t state = 0x0DD5EED;
        const auto next = [&state](std::size_t below) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            return static_cast<std::size_t>((state >> 33) % below);
        };
        for (int n = 0; n < 8; ++n) {
            Bytes bytes = whole.bytes;
            for (int k = 0; k < 3; ++k) {
                const std::size_t at = next(bytes.size());
                switch (next(3)) {
                    case 0: FlipBits(bytes, at, static_cast<std::uint8_t>(1 + next(255))); break;
                    case 1: ZeroRange(bytes, at, 1 + next(40)); break;
                    default: Overwrite(bytes, at, {0x50, 0x4B, 0x03, 0x04}); break;
                }
            }
            Add("Random" + std::to_string(n), std::move(bytes), {});
        }
    }

    std::size_t unit_;
    std::vector<CorpusArchive> corpus_;
};

// Everything a salvage run gave, as text: equal text, equal salvage. The
// run's own folder, which messages may name, is written as "<root>".
std::string Describe(const SalvageRun& run) {
    std::ostringstream out;
    out << "open " << (run.openThrew ? "threw: " + run.openError : "ok") << ", cut record at "
        << (run.cutRecordOffset ? std::to_string(*run.cutRecordOffset) : "none") << "\n";
    for (const EntryRun& entry : run.entries) {
        const CFileHeader& info = entry.info;
        out << info.fileName << " @" << info.localHeaderOffset << " method " << info.method << " crc " << info.crc32
            << " sizes " << info.compressedSize << "/" << info.uncompressedSize << ": "
            << (entry.threw      ? "threw " + entry.error
                : entry.returned ? "returned"
                                 : "refused")
            << ", " << OutcomeName(entry.report.outcome) << " (" << entry.report.detail << "), "
            << entry.report.bytesWritten << " bytes, crc " << entry.report.crc32 << "\n";
    }
    for (const std::string& file : run.files) {
        const std::optional<Bytes> content = run.FileContent(file);
        out << "file " << file << ": "
            << (content ? std::to_string(content->size()) + " bytes, crc " + std::to_string(Crc32(*content))
                        : "not a file")
            << "\n";
    }
    std::string text = out.str();
    const std::string root = run.Root().string();
    for (std::size_t at = text.find(root); at != std::string::npos; at = text.find(root, at))
        text.replace(at, root.size(), "<root>");
    return text;
}

struct OddSize {
    const char* label;
    std::size_t bytes;  // 0: the default sizes
    std::size_t unit;   // corpus contents are multiples of this many bytes
};

void PrintTo(const OddSize& size, std::ostream* os) { *os << size.label; }

class OddSizedReads : public ::testing::TestWithParam<OddSize> {};

// The default run is checked against what the corpus knows (the untouched
// entries come out intact); the odd-sized run against the default run.
TEST_P(OddSizedReads, SalvageTheCorpusAsDefaultSizesDo) {
    const OddSize& size = GetParam();
    for (const CorpusArchive& archive : CorpusBuilder(size.unit).Build()) {
        for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
            SCOPED_TRACE(archive.label + " " + ModeName(mode));
            FixedPassword defaultPassword(kPassword);
            SalvageOptions options;
            options.passwords = &defaultPassword;
            const SalvageRun expected(archive.bytes, mode, options);
            for (const EntryToWrite& input : archive.intact) EXPECT_TRUE(IsIntact(expected, input.name, input.data));
            if (size.bytes == 0) continue;

            const ScopedBufferSizes sizes({size.bytes, size.bytes});
            FixedPassword oddPassword(kPassword);
            options.passwords = &oddPassword;
            options.bufferSize = size.bytes;
            const SalvageRun odd(archive.bytes, mode, options);
            EXPECT_EQ(Describe(odd), Describe(expected));
            for (const std::string& file : expected.files)
                EXPECT_EQ(odd.FileContent(file), expected.FileContent(file)) << file;
        }
    }
}

// Unit 1000 is the damage suite's own content sizes; a byte at a time reads
// a corpus a tenth of that.
const OddSize kOddSizes[] = {
    {"Default", 0, 1000},
    {"OneByte", 1, 100},
    {"SevenBytes", 7, 250},
    {"Bytes4093", 4093, 1000},
};

INSTANTIATE_TEST_SUITE_P(Sizes, OddSizedReads, ::testing::ValuesIn(kOddSizes),
                         [](const ::testing::TestParamInfo<OddSize>& info) { return std::string(info.param.label); });

// The window finds, reads and checksums the same at every capacity,
// capacities below the four bytes a signature takes included: signatures
// straddle every window boundary, and the last ones are cut by the end of
// the file.
TEST(ScanWindowCapacity, ChangesNothingItGives) {
    Bytes data = NoiseContent(21, 9000);
    const Bytes local = {0x50, 0x4B, 0x03, 0x04};
    for (std::size_t at = 1; at + 4 < data.size(); at += 4093 / 3) Overwrite(data, at, local);
    for (std::size_t at : {std::size_t{4091}, std::size_t{4092}, std::size_t{8186}}) Overwrite(data, at, local);
    Overwrite(data, data.size() - 3, {0x50, 0x4B, 0x03});
    TempFolder folder;
    WriteFileBytes(folder / "window.bin", data);
    CBigFile file;
    ASSERT_TRUE(file.Open(folder / "window.bin", CFile::Mode::Read));
    std::vector<std::uint64_t> expected;
    for (std::size_t q = 0; q + 4 <= data.size(); ++q)
        if (std::equal(local.begin(), local.end(), data.begin() + static_cast<std::ptrdiff_t>(q)))
            expected.push_back(q);
    for (std::size_t capacity :
         {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4093}, ScanWindow::kDefaultCapacity}) {
        SCOPED_TRACE(capacity);
        ScanWindow window(file, data.size(), capacity);
        std::vector<std::uint64_t> found;
        for (std::uint64_t q = window.Find(0x04034B50, 0, data.size()); q < data.size();
             q = window.Find(0x04034B50, q + 1, data.size()))
            found.push_back(q);
        EXPECT_EQ(found, expected);
        std::uint32_t value = 0;
        EXPECT_TRUE(window.ReadU32(4092, value) && value == 0x04034B50);
        EXPECT_FALSE(window.ReadU32(data.size() - 3, value));
        Bytes read(4500);
        ASSERT_EQ(window.Read(4090, read.data(), read.size()), read.size());
        EXPECT_TRUE(std::equal(read.begin(), read.end(), data.begin() + 4090));
        EXPECT_EQ(window.Read(data.size() - 2, read.data(), 7), 2u);
        EXPECT_EQ(window.ExtendCrc(0, 0, data.size()), Crc32(data));
    }
}

// The knob's guard puts the sizes back, nested guards included, and a zero
// size is read as a single byte rather than an empty buffer.
TEST(ScopedBufferSizes, RestoresThePreviousSizes) {
    const BufferSizes defaults = CurrentBufferSizes();
    {
        const ScopedBufferSizes outer({7, 4093});
        EXPECT_EQ(CurrentBufferSizes().scanWindow, 7u);
        EXPECT_EQ(CurrentBufferSizes().decoderInput, 4093u);
        {
            const ScopedBufferSizes inner({0, 1});
            EXPECT_EQ(CurrentBufferSizes().scanWindow, 1u);
            EXPECT_EQ(CurrentBufferSizes().decoderInput, 1u);
        }
        EXPECT_EQ(CurrentBufferSizes().scanWindow, 7u);
    }
    EXPECT_EQ(CurrentBufferSizes().scanWindow, defaults.scanWindow);
    EXPECT_EQ(CurrentBufferSizes().decoderInput, defaults.decoderInput);
    EXPECT_EQ(defaults.scanWindow, BufferSizes::Defaults().scanWindow);
}

}  // namespace
}  // namespace tessaly::archivetest
