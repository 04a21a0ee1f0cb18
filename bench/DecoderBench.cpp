// Each compressed method's decoder against the library's own command-line
// tool on the same data: the decoder reading one large entry from its
// archive into memory with the CRC-32 (what extraction does before writing),
// and the tool decompressing the same stream to /dev/null. Bytes processed
// are uncompressed bytes. The tool rows are skipped when the tool is not
// installed (scripts/install-deps.sh bench installs them).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "archive/CompressionMethods.h"
#include "archive/ZipArchive.h"
#include "bench/BenchFiles.h"
#include "tests/support/Encoders.h"
#include "tests/support/TempFolder.h"

namespace tessaly::bench {
namespace {

using testzip::Codec;

struct CodecFiles {
    std::filesystem::path archive;  // one entry, the whole data
    std::filesystem::path stream;   // the same stream in the tool's own format
    std::uint64_t size = 0;
};

// 24 MiB of text with a noisy stretch every so often, like ordinary
// documents. TESSALY_BENCH_DECODER_MIB changes the size.
const testzip::Bytes& Data() {
    static const testzip::Bytes data = [] {
        const char* text = std::getenv("TESSALY_BENCH_DECODER_MIB");
        const long mib = text ? std::strtol(text, nullptr, 10) : 24;
        testzip::Bytes out;
        for (long part = 0; part < (mib > 0 ? mib : 24) / 2; ++part) {
            const auto prose = testzip::TextContent("part" + std::to_string(part), 1536 * 1024);
            const auto noise = testzip::NoiseContent(static_cast<std::uint32_t>(part), 512 * 1024);
            out.insert(out.end(), prose.begin(), prose.end());
            out.insert(out.end(), noise.begin(), noise.end());
        }
        return out;
    }();
    return data;
}

// The tool's format: .lzma is the 5 properties bytes, the size (unknown:
// the stream has its end marker) and the same LZMA1 stream a ZIP entry holds
// after its 4-byte header.
testzip::Bytes ToolStream(Codec codec, const testzip::Bytes& payload) {
    if (codec != Codec::LzmaEndMarker) return payload;
    testzip::Bytes out(payload.begin() + 4, payload.begin() + 9);
    out.insert(out.end(), 8, 0xFF);
    out.insert(out.end(), payload.begin() + 9, payload.end());
    return out;
}

const CodecFiles& Files(Codec codec) {
    static std::map<Codec, CodecFiles> made;
    auto found = made.find(codec);
    if (found != made.end()) return found->second;
    CodecFiles files;
    const auto folder = ScratchFolder(testzip::CodecName(codec));
    testzip::EntryToWrite entry = testzip::Compressed(codec, "large.bin", Data());
    files.archive = folder / "large.zip";
    files.stream = folder / "large.stream";
    files.size = Data().size();
    testzip::WriteFileBytes(files.stream, ToolStream(codec, *entry.rawData));
    testzip::WriteFileBytes(files.archive, testzip::BuildZip({entry}).bytes);
    return made[codec] = files;
}

void BM_Decoder(benchmark::State& state, Codec codec) {
    if (!testzip::HaveEncoder(codec) || !IsReadableMethod(testzip::CodecMethod(codec)))
        return state.SkipWithError("method not in this build");
    const CodecFiles& files = Files(codec);
    CZipArchive archive;
    archive.OpenArchive(files.archive, QuickRepair);
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    for (auto _ : state) {
        archive.OpenEntry(0);
        std::uint64_t total = 0;
        while (const std::size_t n = archive.ReadEntryData(buffer.data(), buffer.size())) total += n;
        archive.CloseEntry();
        if (total != files.size) state.SkipWithError("entry not whole");
    }
    archive.CloseArchive(true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.size));
}

const char* ToolCommand(Codec codec) {
    switch (codec) {
        case Codec::BZip2: return "bzip2 -dc";
        case Codec::LzmaEndMarker: return "xz -dc --format=lzma";
        case Codec::Xz: return "xz -dc";
        case Codec::Zstd: return "zstd -qdc";
        default: return "";
    }
}

void BM_Tool(benchmark::State& state, Codec codec) {
    const std::string tool = ToolCommand(codec);
    if (std::system(("command -v " + tool.substr(0, tool.find(' ')) + " >/dev/null 2>&1").c_str()) != 0)
        return state.SkipWithError("tool not installed");
    const CodecFiles& files = Files(codec);
    const std::string command = tool + " '" + files.stream.string() + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("tool failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * files.size));
}

BENCHMARK_CAPTURE(BM_Decoder, BZip2, Codec::BZip2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tool, BZip2, Codec::BZip2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Decoder, Lzma, Codec::LzmaEndMarker)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tool, Lzma, Codec::LzmaEndMarker)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Decoder, Xz, Codec::Xz)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tool, Xz, Codec::Xz)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Decoder, Zstd, Codec::Zstd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Tool, Zstd, Codec::Zstd)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
