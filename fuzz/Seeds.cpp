#include "fuzz/Seeds.h"

#include <utility>

#include <zlib.h>

#include "archive/CompressionMethods.h"
#include "fuzz/SalvageTarget.h"
#if TESSALY_WITH_ISAL
#include "fuzz/InflateTarget.h"
#endif
#include "tests/support/Damage.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/DeflateBlocks.h"
#include "tests/support/Encoders.h"
#include "tests/support/Hostile.h"

namespace tessaly::fuzz {
namespace {

using namespace testzip;

EntryToWrite Streamed(EntryToWrite entry) {
    entry.streamed = true;
    return entry;
}

EntryToWrite Deflate64Entry(std::string name, const Bytes& data) {
    EntryToWrite entry = Stored(std::move(name), data);
    entry.rawData = CompressDeflate64(data, {false, 300});
    entry.methodOverride = 9;
    return entry;
}

BuiltZip Mixed() {
    return BuildZip({Stored("a.txt", TextContent("a", 300)), Deflated("dir/b.txt", TextContent("b", 1200)),
                     Deflated("c.bin", NoiseContent(3, 200)), Stored("dir/", Bytes{}), Stored("empty.txt", Bytes{})});
}

std::vector<EntryToWrite> StreamedEntries() {
    return {Streamed(Deflated("s1.txt", TextContent("s1", 900))), Streamed(Stored("s2.txt", TextContent("s2", 150))),
            Streamed(Deflated("s3.bin", NoiseContent(5, 200)))};
}

void AddHealthy(std::vector<Seed>& seeds) {
    seeds.push_back({"mixed.zip", Mixed().bytes});
    std::vector<EntryToWrite> streamed = StreamedEntries();
    seeds.push_back({"streamed.zip", BuildZip(streamed).bytes});
    for (EntryToWrite& entry : streamed) {
        entry.descriptorSignature = false;
        entry.zip64Descriptor = entry.method == Method::Deflated;
    }
    seeds.push_back({"streamed-zip64.zip", BuildZip(streamed).bytes});
    EntryToWrite flagged = Deflated("flagged.txt", TextContent("x", 300));
    flagged.encrypted = true;
    seeds.push_back(
        {"names.zip", BuildZip({Stored("../up.txt", "up"), Stored("/abs.txt", "abs"), Deflated("C:\\win\\x.txt", "win"),
                                Stored("b.txt", "b1"), Stored("./b.txt", "b2"), Stored("B.TXT", "b3"),
                                Stored(std::string(260, 'n') + ".txt", "long"), flagged})
                          .bytes});
}

void AddEncrypted(std::vector<Seed>& seeds) {
    std::vector<EntryToWrite> entries = {
        Stored("zc.bin", NoiseContent(6, 200)), Streamed(Deflated("zc.txt", TextContent("zc", 600))),
        Deflated("aes1.txt", TextContent("aes", 400)), Deflated("aes2.txt", TextContent("aes2", 300))};
    for (EntryToWrite& entry : entries) entry.password = kFuzzPassword;
    entries[2].aes = EntryToWrite::Aes{1, 1};
    entries[3].aes = EntryToWrite::Aes{3, 2};
    seeds.push_back({"encrypted.zip", BuildZip(entries).bytes});
}

void AddMethods(std::vector<Seed>& seeds) {
    std::vector<EntryToWrite> entries = {Deflate64Entry("d64.txt", TextContent("d64", 1500))};
    for (Codec codec : {Codec::BZip2, Codec::Lzma, Codec::LzmaEndMarker, Codec::Xz, Codec::Zstd}) {
        if (!HaveEncoder(codec) || !IsReadableMethod(CodecMethod(codec))) continue;
        const std::string name = CodecName(codec);
        entries.push_back(Compressed(codec, name + ".txt", TextContent(name, 800)));
        if (codec != Codec::Lzma) entries.push_back(Streamed(Compressed(codec, name + "-s.bin", NoiseContent(7, 100))));
    }
    seeds.push_back({"methods.zip", BuildZip(entries).bytes});
    if (HaveEncoder(Codec::Zstd)) {
        EntryToWrite wide = Streamed(Stored("wide.zst", Bytes{}));
        wide.rawData = ZstdFrameAskingForWindow(TextContent("w", 100), 31);
        wide.methodOverride = CodecMethod(Codec::Zstd);
        seeds.push_back({"zstd-window.zip", BuildZip({wide, Stored("after.txt", "after")}).bytes});
    }
}

void AddDamaged(std::vector<Seed>& seeds) {
    BuiltZip cut = Mixed();
    TruncateAt(cut.bytes, cut.entries[1].dataStart + 100);
    seeds.push_back({"cut.zip", cut.bytes});
    BuiltZip noDirectory = BuildZip(StreamedEntries());
    DropCentralDirectory(noDirectory);
    seeds.push_back({"no-directory.zip", noDirectory.bytes});
    BuiltZip stub = Mixed();
    PrependStub(stub, Garbage(100), false);
    seeds.push_back({"stub.zip", stub.bytes});
    BuiltZip zeroed = Mixed();
    ZeroRange(zeroed.bytes, zeroed.entries[1].localHeader, 30);
    FlipBits(zeroed.bytes, zeroed.entries[2].dataStart + 5, 0x10);
    seeds.push_back({"zeroed-header.zip", zeroed.bytes});
    BuiltZip lost = BuildZip(StreamedEntries());
    for (const EntryLayout& entry : lost.entries)
        if (entry.descriptor != kNone) ZeroRange(lost.bytes, entry.descriptor, 16);
    seeds.push_back({"lost-descriptors.zip", lost.bytes});
    BuiltZip appended = Mixed();
    const Bytes second = BuildZip({Stored("second.txt", "second")}).bytes;
    appended.bytes.insert(appended.bytes.end(), second.begin(), second.end());
    seeds.push_back({"appended.zip", appended.bytes});
    // A Deflate entry whose middle block has a reserved type: Advance
    // Repair reads on past it.
    BuiltZip broken = BuildZip({Deflated("broken.bin", NoiseContent(17, 80000)), Stored("after.txt", "after")});
    const EntryLayout& first = broken.entries[0];
    Bytes stream(broken.bytes.begin() + static_cast<std::ptrdiff_t>(first.dataStart),
                 broken.bytes.begin() + static_cast<std::ptrdiff_t>(first.dataEnd));
    const std::vector<BlockBoundary> blocks = BlockBoundaries(stream);
    if (blocks.size() > 2) {
        BreakBlockHeader(stream, blocks[blocks.size() / 2].bit);
        std::copy(stream.begin(), stream.end(), broken.bytes.begin() + static_cast<std::ptrdiff_t>(first.dataStart));
    }
    seeds.push_back({"broken-block.zip", broken.bytes});
}

void AddHostile(std::vector<Seed>& seeds) {
    seeds.push_back({"overlap.zip", OverlapBomb(3, 2000).bytes});
    seeds.push_back({"shared-tail.zip", SharedTailHeaders(6, 80).bytes});
    seeds.push_back({"signatures.zip", SignatureFlood(600)});
}

Seed StreamSeed(std::string name, std::uint8_t in, std::uint8_t out, const Bytes& stream) {
    Seed seed{std::move(name), {in, out}};
    seed.bytes.insert(seed.bytes.end(), stream.begin(), stream.end());
    return seed;
}

Bytes FarMatches() {
    Deflate64Writer writer;
    writer.StoredBlock(NoiseContent(9, 600), false);
    writer.FixedBlock(false);
    writer.Literal('x');
    writer.Match(65538, 601);
    writer.Match(300, 65536);
    writer.Match(3, 1);
    writer.EndOfBlock();
    writer.StoredBlock({}, false);
    writer.FixedBlock(true);
    writer.Match(1000, 32769);
    writer.EndOfBlock();
    return writer.Finish();
}

Seed NameSeed(std::string name, std::uint8_t rules, const std::vector<std::string>& names) {
    Seed seed{std::move(name), {rules}};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) seed.bytes.push_back(0);
        seed.bytes.insert(seed.bytes.end(), names[i].begin(), names[i].end());
    }
    return seed;
}

}  // namespace

std::vector<Seed> ArchiveSeeds() {
    std::vector<Seed> seeds;
    AddHealthy(seeds);
    AddEncrypted(seeds);
    AddMethods(seeds);
    AddDamaged(seeds);
    AddHostile(seeds);
    return seeds;
}

std::vector<Seed> Deflate64Seeds() {
    const Bytes text = TextContent("deflate64", 3000);
    Bytes cut = CompressDeflate64(text);
    cut.resize(cut.size() / 2);
    return {StreamSeed("greedy.d64", 7, 13, CompressDeflate64(text, {false, 200})),
            StreamSeed("far.d64", 1, 200, FarMatches()), StreamSeed("zlib-dynamic.d64", 31, 3, RawDeflate(text, 9)),
            StreamSeed("zlib-noise.d64", 64, 255, RawDeflate(NoiseContent(2, 400), 6)),
            StreamSeed("cut.d64", 5, 77, cut)};
}

#if TESSALY_WITH_ISAL
std::vector<Seed> InflateSeeds() {
    // Text whose lines also occur in the prefix, then noise (stored blocks),
    // then text again: dynamic, stored and (Z_FIXED) fixed blocks.
    Bytes data = TextContent("inflate", 60000);
    const Bytes noise = NoiseContent(4, 9000);
    data.insert(data.end(), noise.begin(), noise.end());
    const Bytes more = TextContent("more", 30000);
    data.insert(data.end(), more.begin(), more.end());
    // Each continues the target's prefix: matches reach back into it.
    const Bytes prefix = InflatePrefixText();
    const Bytes dynamic = RawDeflate(data, 6, 0, prefix);
    Bytes damaged = dynamic;
    damaged[damaged.size() / 3] ^= 0x5A;
    Bytes brokenHeader = dynamic;
    BreakBlockHeader(brokenHeader, 0);
    Bytes cut = dynamic;
    cut.resize(cut.size() / 2);
    return {StreamSeed("dynamic.deflate", 7, 13, dynamic),
            StreamSeed("best.deflate", 64, 255, RawDeflate(data, 9, 0, prefix)),
            StreamSeed("fixed.deflate", 3, 40, RawDeflate(data, 6, Z_FIXED, prefix)),
            StreamSeed("damaged.deflate", 31, 3, damaged),
            StreamSeed("broken-header.deflate", 1, 200, brokenHeader),
            StreamSeed("cut.deflate", 5, 77, cut)};
}
#endif

std::vector<Seed> NameSeeds() {
    const std::vector<std::string> leaving = {"b.txt",    "../b.txt",  "/b.txt",    "./b.txt", "C:\\b.txt",
                                              "z:/b.txt", "a/../../c", "dir\\.\\d", "//",      ".."};
    const std::vector<std::string> windows = {
        "CON", "nul.txt", "COM1.log", "LPT9", "conin$", "a<b>c:d\"e|f?g*h", "trail. ", "ctl\x01name", "AUX .txt"};
    const std::string longStem(250, 's');
    const std::vector<std::string> lengths = {std::string(300, 'x') + ".txt", longStem + ".txt", longStem + ".TXT",
                                              "a." + std::string(253, 'e'),
                                              std::string(120, 'd') + "/" + std::string(256, 'f')};
    const std::vector<std::string> text = {"\xC3\x84pfel.txt",    "\xC3\xA4pfel.txt", "\x80\x81\x82.txt",
                                           "\xCE\xA9mega",        "\xCF\x89mega",     "bad\xED\xA0\x80sur",
                                           "\xF0\x9F\x98\x80.png"};
    std::vector<Seed> seeds;
    for (std::uint8_t rules : {0, 3, 7}) {
        const std::string suffix = "-" + std::to_string(rules) + ".names";
        seeds.push_back(NameSeed("leaving" + suffix, rules, leaving));
        seeds.push_back(NameSeed("windows" + suffix, rules, windows));
        seeds.push_back(NameSeed("lengths" + suffix, rules, lengths));
        seeds.push_back(NameSeed("text" + suffix, rules, text));
    }
    return seeds;
}

}  // namespace tessaly::fuzz
