// Extracting 10 000 small entries: the cost per entry is the output file's
// creation (a walk below the destination that follows no link, and the
// replacement of a file already there), not the data.
#include <benchmark/benchmark.h>

#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "bench/BenchFiles.h"

namespace tessaly::bench {
namespace {

void BM_ExtractManyEntries(benchmark::State& state) {
    const auto& path = ManyEntriesArchive();
    const auto folder = ScratchFolder("many-out");
    ScanState scan;
    CZipArchive archive(scan);
    archive.OpenArchive(path, QuickRepair);
    if (archive.GetCount() != kManyEntries) state.SkipWithError("wrong entry count");
    ExtractReport report;
    // From the second round on every file exists and is replaced.
    for (auto _ : state) {
        for (std::uint32_t i = 0; i < kManyEntries; ++i) {
            if (!archive.ExtractEntry(i, folder, 65535, &report) || report.outcome != ExtractOutcome::Ok) {
                state.SkipWithError("entry not written");
                break;
            }
        }
    }
    archive.CloseArchive(true);
    state.counters["time_per_entry"] =
        benchmark::Counter(kManyEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ExtractManyEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
