#include "tests/archive/DamageCorpus.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

#include "archive/CompressionMethods.h"
#include "tests/support/Damage.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/Encoders.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

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
        for (EntryToWrite& input : inputs) input.password = kCorpusPassword;
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

}  // namespace

std::vector<CorpusArchive> BuildDamageCorpus(std::size_t unit) { return CorpusBuilder(unit).Build(); }

}  // namespace tessaly::archivetest
