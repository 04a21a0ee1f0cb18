// Extracting 10 000 small entries: the cost per entry is the output file's
// creation (a walk below the destination that follows no link, and the
// replacement of a file already there), not the data.
#include <algorithm>

#include <benchmark/benchmark.h>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "archive/salvage/SalvageDriver.h"
#include "bench/BenchFiles.h"
#include "platform/File.h"
#include "platform/OutputTree.h"

namespace tessaly::bench {
namespace {

void BM_ExtractManyEntries(benchmark::State& state) {
    const auto& path = ManyEntriesArchive();
    const auto folder = ScratchFolder("many-out");
    CZipArchive archive;
    archive.OpenArchive(path, QuickRepair);
    if (archive.GetCount() != kManyEntries) state.SkipWithError("wrong entry count");
    // One thread, the archive layer's own cost per entry. From the second
    // round on every file exists and is replaced.
    SalvageOptions options;
    options.bufferSize = 65535;
    options.keepEntries = true;
    SalvageObserver observer;
    for (auto _ : state) {
        OutputDestination destination(folder);
        const SalvageResult result = SalvageEntries(archive, destination, options, observer);
        const bool allOk = std::all_of(result.entries.begin(), result.entries.end(),
                                       [](const SalvagedEntry& e) { return e.report.outcome == ExtractOutcome::Ok; });
        if (!allOk) state.SkipWithError("entry not written");
    }
    archive.CloseArchive(true);
    state.counters["time_per_entry"] =
        benchmark::Counter(kManyEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_ExtractManyEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

std::filesystem::path SmallEntryName(std::uint32_t i) {
    return "folder" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".txt";
}

// The same 10 000 files made empty: through the output tree, replacing the
// files of the round before (fresh:0) or into an empty folder (fresh:1), and,
// for scale, by path with the folders made beforehand and the file truncated
// in place (which a hard link would see).
void BM_CreateThroughOutputTree(benchmark::State& state) {
    const bool fresh = state.range(0) == 1;
    auto folder = ScratchFolder("tree-out");
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            folder = ScratchFolder("tree-out");
            state.ResumeTiming();
        }
        COutputTree tree(folder);
        for (std::uint32_t i = 0; i < kManyEntries; ++i) {
            CFile file;
            if (tree.CreateOutputFile(SmallEntryName(i), file) != OutputStatus::Created) state.SkipWithError("refused");
        }
    }
    state.counters["time_per_file"] =
        benchmark::Counter(kManyEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CreateByPath(benchmark::State& state) {
    const auto folder = ScratchFolder("path-out");
    for (std::uint32_t i = 0; i < kManyEntries; i += 100)
        std::filesystem::create_directories((folder / SmallEntryName(i)).parent_path());
    for (auto _ : state) {
        for (std::uint32_t i = 0; i < kManyEntries; ++i) {
            CFile file;
            if (!file.Open(folder / SmallEntryName(i), CFile::Mode::CreateWrite)) state.SkipWithError("refused");
        }
    }
    state.counters["time_per_file"] =
        benchmark::Counter(kManyEntries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_CreateThroughOutputTree)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateByPath)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
