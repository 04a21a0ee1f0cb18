// Opening files that only look like archives: nothing but local-header
// signatures (16, 32 and 64 MiB). No header there can yield data, so the
// table stays empty and the time and memory stay flat whatever the size.
// Peak memory is best read from outside (/usr/bin/time -v on
// tessaly-zip-cli list); this measures the time in both modes.
#include <benchmark/benchmark.h>

#include <string>

#include "archive/ZipArchive.h"
#include "bench/BenchFiles.h"
#include "platform/File.h"
#include "tests/support/Hostile.h"

namespace tessaly::bench {
namespace {

std::filesystem::path FloodFile(std::size_t mib) {
    const std::filesystem::path path = ScratchFolder(("flood" + std::to_string(mib)).c_str()) / "flood.zip";
    const testzip::Bytes bytes = testzip::SignatureFlood(mib << 20);
    CFile file;
    if (file.Open(path, CFile::Mode::CreateWrite)) {
        file.Write(bytes.data(), bytes.size());
        file.Close();
    }
    return path;
}

void BM_OpenSignatureFlood(benchmark::State& state) {
    const auto mib = static_cast<std::size_t>(state.range(1));
    const std::filesystem::path path = FloodFile(mib);
    for (auto _ : state) {
        CZipArchive archive;
        archive.OpenArchive(path, static_cast<RepairMode>(state.range(0)));
        if (archive.GetCount() != 0) state.SkipWithError("a flood of signatures gave entries");
        archive.CloseArchive(true);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (mib << 20)));
}

BENCHMARK(BM_OpenSignatureFlood)
    ->ArgNames({"mode", "mib"})
    ->ArgsProduct({{QuickRepair, AdvanceRepair}, {16, 32, 64}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tessaly::bench
