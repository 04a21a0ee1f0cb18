// Extracting one large deflated entry through ExtractEntry against plain zlib
// loops over the same compressed bytes in the same run: inflate alone into
// memory, and inflate with CRC-32 and writing the output file (the same work
// extraction has to do). Bytes processed are uncompressed bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <filesystem>
#include <vector>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "bench/BenchFiles.h"
#include "platform/File.h"

namespace tessaly::bench {
namespace {

constexpr std::size_t kInputChunk = 64 * 1024;

void BM_ExtractLargeEntry(benchmark::State& state) {
    const LargeEntryArchive& large = LargeDeflatedArchive();
    const auto folder = ScratchFolder("extract");
    CZipArchive archive;
    archive.OpenArchive(large.path, QuickRepair);
    OutputDestination destination(folder);
    const auto bufferSize = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        // Saving writes into a fresh folder: the last round's file is removed
        // outside the timing, so truncating it is not measured.
        state.PauseTiming();
        std::filesystem::remove_all(folder / "large.bin");
        state.ResumeTiming();
        ExtractReport report;
        archive.ExtractEntry(0, destination, bufferSize, &report);
        if (report.outcome != ExtractOutcome::Ok) state.SkipWithError("entry not ok");
    }
    archive.CloseArchive(true);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * large.uncompressedSize));
}

// Argument: 0 inflate only; 1 with CRC-32; 3 with CRC-32 and writing the
// output file, the whole job extraction does.
void BM_ZlibInflateLoop(benchmark::State& state) {
    const LargeEntryArchive& large = LargeDeflatedArchive();
    const bool withCrc = (state.range(0) & 1) != 0;
    const bool withWrite = (state.range(0) & 2) != 0;
    const auto output = ScratchFolder("zlib") / "large.bin";
    std::vector<std::uint8_t> in(kInputChunk), out(256 * 1024);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(output);
        state.ResumeTiming();
        CFile source, target;
        source.Open(large.path, CFile::Mode::Read);
        source.Seek(static_cast<std::int64_t>(large.dataOffset), CFile::Origin::Begin);
        if (withWrite) target.Open(output, CFile::Mode::CreateWrite);
        z_stream stream{};
        inflateInit2(&stream, -MAX_WBITS);
        uLong crc = crc32(0, nullptr, 0);
        std::uint64_t left = large.compressedSize;
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            if (stream.avail_in == 0 && left > 0) {
                const std::size_t n = source.Read(in.data(), std::min<std::uint64_t>(left, in.size()));
                left -= n;
                stream.next_in = in.data();
                stream.avail_in = static_cast<uInt>(n);
            }
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            result = inflate(&stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END) break;
            const std::size_t produced = out.size() - stream.avail_out;
            if (withCrc) crc = crc32(crc, out.data(), static_cast<uInt>(produced));
            if (withWrite) target.Write(out.data(), produced);
        }
        inflateEnd(&stream);
        if (result != Z_STREAM_END || stream.total_out != large.uncompressedSize) state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * large.uncompressedSize));
}

BENCHMARK(BM_ZlibInflateLoop)
    ->ArgName("crc1_write2")
    ->Arg(0)
    ->Arg(1)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ExtractLargeEntry)
    ->ArgName("buffer")
    ->Arg(65535)
    ->Arg(256 * 1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
