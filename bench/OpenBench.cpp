// Opening a healthy archive of 10 000 small entries: the scan jumps from
// header to header, so the cost is per entry, not per byte.
#include <benchmark/benchmark.h>

#include "archive/ZipArchive.h"
#include "bench/BenchFiles.h"

namespace tessaly::bench {
namespace {

void BM_OpenManyEntries(benchmark::State& state) {
    const auto& path = ManyEntriesArchive();
    for (auto _ : state) {
        CZipArchive archive;
        archive.OpenArchive(path, static_cast<RepairMode>(state.range(0)));
        if (archive.GetCount() != kManyEntries) state.SkipWithError("wrong entry count");
        archive.CloseArchive(true);
    }
    state.counters["time_per_entry"] =
        benchmark::Counter(kManyEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_OpenManyEntries)
    ->ArgName("mode")
    ->Arg(QuickRepair)
    ->Arg(AdvanceRepair)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
