// The Deflate64 decoder against zlib's inflate (our Deflate path) on the
// same data, and against 7zz extracting a Deflate64 archive it wrote (when
// 7zz is installed). Streams are decoded from memory into a 256 KiB output
// buffer, as extraction does; bytes processed are uncompressed bytes.
//
// Streams: "zlib6" is zlib at level 6 (dynamic blocks); "fixed" is our test
// writer's greedy fixed-Huffman stream, in Deflate form for zlib and in
// Deflate64 form for the decoder (the same matches, so comparable work);
// "7zz" is the raw stream of a `7zz a -tzip -mm=Deflate64 -mx=9` archive;
// "words" is zlib at level 6 on text without any 258-byte repeat, a stream
// that means the same in both formats, decoded by both.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "archive/methods/Deflate64Decompressor.h"
#include "bench/BenchFiles.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::bench {
namespace {

using testzip::Bytes;

constexpr std::size_t kOutputChunk = 256 * 1024;

// Text with varied words and numbers, some incompressible stretches, and
// repeats of them from beyond 32 KiB.
const Bytes& Data() {
    static const Bytes data = [] {
        Bytes out;
        for (int part = 0; part < 24; ++part) {
            const Bytes text = testzip::TextContent("part " + std::to_string(part * 7919), 512 * 1024);
            out.insert(out.end(), text.begin(), text.end());
            const Bytes noise = testzip::NoiseContent(static_cast<std::uint32_t>(part), 40000);
            out.insert(out.end(), noise.begin(), noise.end());
            out.insert(out.end(), text.begin() + 1000, text.begin() + 20000);
            out.insert(out.end(), noise.begin(), noise.end());
        }
        return out;
    }();
    return data;
}

// Words from a small vocabulary: no 258-byte repeat, so zlib never writes
// the one length whose symbol means something else in Deflate64.
const Bytes& WordData() {
    static const Bytes data = [] {
        static const char* const kWords[] = {"the",     "window", "holds", "sixty-four", "kibibytes", "of",
                                             "history", "and",    "a",     "match",      "may",       "copy",
                                             "long",    "runs",   "from",  "far",        "back",      "salvage"};
        std::uint32_t state = 1;
        std::string text;
        while (text.size() < (16u << 20)) {
            state = state * 1664525u + 1013904223u;
            text += kWords[(state >> 16) % (sizeof kWords / sizeof *kWords)];
            text += (state >> 8) % 9 == 0 ? ".\n" : " ";
        }
        return testzip::ToBytes(text);
    }();
    return data;
}

Bytes ZlibStream(const Bytes& data, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct SevenZip {
    std::filesystem::path archive;
    Bytes stream;  // raw method 9 data of its one entry
};

// Empty when 7zz is not installed.
const SevenZip& SevenZipArchive() {
    static const SevenZip made = [] {
        SevenZip result;
        if (std::system("7zz i > /dev/null 2>&1") != 0) return result;
        const auto folder = ScratchFolder("deflate64");
        testzip::WriteFileBytes(folder / "data.bin", Data());
        const std::string command =
            "cd '" + folder.string() + "' && 7zz a -tzip -mm=Deflate64 -mx=9 made.zip data.bin > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return result;
        result.archive = folder / "made.zip";
        const Bytes zip = testzip::ReadFileBytes(result.archive);
        const auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(zip[at] | zip[at + 1] << 8); };
        const std::size_t start = 30 + u16(26) + u16(28);
        const std::size_t size = u16(18) | u16(20) << 16;
        if (u16(8) == 9) result.stream.assign(zip.begin() + start, zip.begin() + start + size);
        return result;
    }();
    return made;
}

const Bytes& StreamFor(int which) {
    static const Bytes zlib6 = ZlibStream(Data(), 6);
    static const Bytes words = ZlibStream(WordData(), 6);
    static const Bytes fixedDeflate = testzip::CompressDeflate64(Data(), {true, 1 << 16});
    static const Bytes fixedDeflate64 = testzip::CompressDeflate64(Data(), {false, 1 << 16});
    switch (which) {
        case 0: return zlib6;
        case 1: return fixedDeflate;
        case 2: return fixedDeflate64;
        case 4: return words;
        default: return SevenZipArchive().stream;
    }
}

std::size_t DataSize(int which) { return which == 4 ? WordData().size() : Data().size(); }

bool Inflate(const Bytes& stream, std::size_t size, std::vector<std::uint8_t>& out) {
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        result = inflate(&z, Z_NO_FLUSH);
    }
    const bool ok = result == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return ok;
}

bool Decode64(const Bytes& stream, std::size_t size, std::vector<std::uint8_t>& out) {
    Deflate64Decompressor decoder;
    std::size_t at = 0, total = 0;
    for (;;) {
        const auto step = decoder.Decode(stream.data() + at, stream.size() - at, out.data(), out.size());
        at += step.consumed;
        total += step.produced;
        if (step.status != Decompressor::Status::Running)
            return step.status == Decompressor::Status::StreamEnd && total == size;
        if (step.consumed == 0 && step.produced == 0) return false;
    }
}

// Argument: 0 zlib6, 1 fixed (Deflate form), 4 words.
void BM_ZlibInflate(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const Bytes& stream = StreamFor(which);
    std::vector<std::uint8_t> out(kOutputChunk);
    for (auto _ : state)
        if (!Inflate(stream, DataSize(which), out)) state.SkipWithError("inflate failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * DataSize(which)));
}

// Argument: 2 fixed (Deflate64 form), 3 the 7zz stream, 4 words.
void BM_Deflate64Decode(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const Bytes& stream = StreamFor(which);
    if (stream.empty()) {
        state.SkipWithError("7zz is not installed");
        return;
    }
    std::vector<std::uint8_t> out(kOutputChunk);
    for (auto _ : state)
        if (!Decode64(stream, DataSize(which), out)) state.SkipWithError("decode failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * DataSize(which)));
}

// 7zz extracting its own archive to a pipe (a process start included).
void BM_SevenZipExtract(benchmark::State& state) {
    const SevenZip& made = SevenZipArchive();
    if (made.stream.empty()) {
        state.SkipWithError("7zz is not installed");
        return;
    }
    const std::string command = "7zz e -so '" + made.archive.string() + "' > /dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("7zz failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().size()));
}

BENCHMARK(BM_ZlibInflate)
    ->ArgName("zlib6_fixed_words")
    ->Arg(0)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Deflate64Decode)
    ->ArgName("fixed_7zz_words")
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SevenZipExtract)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
