// Salvaging an archive of 10 000 entries that a text-mode transfer damaged
// throughout (every LF became CR LF), in both repair modes, every entry
// written as saving writes it. Advance Repair finds some 12 000 entries,
// nearly all damaged, many with sizes that run far past their data: the
// cost per entry has to stay that of the entry itself, not grow with the
// entries before it.
#include <benchmark/benchmark.h>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "archive/salvage/SalvageDriver.h"
#include "bench/BenchFiles.h"

namespace tessaly::bench {
namespace {

void BM_SalvageTextModeTransfer(benchmark::State& state) {
    const RepairMode mode = state.range(0) == 1 ? AdvanceRepair : QuickRepair;
    const auto& path = TextModeTransferArchive();
    std::uint32_t entries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto folder = ScratchFolder("text-mode-out");
        state.ResumeTiming();
        CZipArchive archive;
        archive.OpenArchive(path, mode);
        entries = static_cast<std::uint32_t>(archive.GetCount());
        OutputDestination destination(folder);
        SalvageOptions options;
        options.bufferSize = 65535;
        SalvageObserver observer;
        SalvageEntries(archive, destination, options, observer);
        archive.CloseArchive(true);
    }
    state.counters["entries"] = entries;
    state.counters["time_per_entry"] =
        benchmark::Counter(entries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_SalvageTextModeTransfer)
    ->ArgName("advance")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace tessaly::bench
