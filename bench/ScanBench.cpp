// The salvage scan over a large region without any record signature, where
// it must look at every position, against plain sequential reading of the
// same file in the same run (warm cache: the file was just written and is
// read before it is scanned). The bytes are random, so 'P' and "PK" occur as
// in real data; only the record signatures are taken out. With nothing found
// both modes scan the whole file twice (the forward pass, then the central
// pass from offset 0); bytes_per_second counts the file once per open.
#include <benchmark/benchmark.h>

#include <vector>

#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "bench/BenchFiles.h"
#include "platform/File.h"

namespace tessaly::bench {
namespace {

// Argument 1: the worst-case file instead of random bytes.
const std::filesystem::path& ScanFile(const benchmark::State& state, int argument) {
    return state.range(argument) != 0 ? SignaturePrefixFile() : SignatureFreeFile();
}

void BM_SequentialRead(benchmark::State& state) {
    const auto& path = ScanFile(state, 0);
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    for (auto _ : state) {
        CFile file;
        if (!file.Open(path, CFile::Mode::Read)) state.SkipWithError("cannot open");
        std::uint64_t total = 0;
        while (const std::size_t n = file.Read(buffer.data(), buffer.size())) total += n;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(path)));
}

// Arguments: repair mode, whether a progress hook is installed (as the
// command-line tool and the analysis dialog have one), and the file.
void BM_ScanSignatureFree(benchmark::State& state) {
    const auto& path = ScanFile(state, 2);
    ScanState scan;
    std::uint64_t reports = 0;
    if (state.range(1) != 0) {
        scan.progress = [&](std::uint64_t, std::uint64_t, std::uint64_t) { ++reports; };
    }
    for (auto _ : state) {
        CZipArchive archive;
        archive.OpenArchive(path, static_cast<RepairMode>(state.range(0)), scan);
        if (archive.GetCount() != 0) state.SkipWithError("found an entry in signature-free data");
        archive.CloseArchive(true);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize(path)));
    state.counters["reports_per_open"] = static_cast<double>(reports) / static_cast<double>(state.iterations());
}

BENCHMARK(BM_SequentialRead)->ArgName("worst")->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScanSignatureFree)
    ->ArgNames({"mode", "progress", "worst"})
    ->Args({QuickRepair, 0, 0})
    ->Args({AdvanceRepair, 0, 0})
    ->Args({QuickRepair, 1, 0})
    ->Args({AdvanceRepair, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SequentialRead)->Name("BM_SequentialRead/again")->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SequentialRead)->ArgName("worst")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScanSignatureFree)
    ->ArgNames({"mode", "progress", "worst"})
    ->Args({QuickRepair, 1, 1})
    ->Args({AdvanceRepair, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
