// Reading on past damage inside a Deflate entry: how much of what follows
// the damage comes back certain, and what the search for the place to
// resume costs beside decoding. Each stream is made by zlib (level 6) from
// one kind of data, its middle block header broken and the bytes after it
// overwritten with random ones; the search runs from the start of the block
// before, as extraction runs it. "Hopeless" streams are cut in their middle
// and filled with random bytes: no place to resume exists, and the search
// must give up within its bounds.
//
// Counters: certain (share of the bytes after the damaged block that came
// back certain), searchMs, tailMs (decoding the tail twice), inflateMs (one
// plain zlib decode of the whole intact stream). ReadThrough, below, is
// damage no decoder notices.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "archive/resync/DamageLocator.h"
#include "archive/resync/DeflateResync.h"
#include "archive/resync/ResyncTail.h"
#include "archive/resync/TailRecovery.h"
#include "platform/File.h"
#include "tests/support/DeflateBlocks.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly {
namespace {

using testzip::Bytes;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSize = std::size_t{4} << 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Real text: this project's own sources, one after the other.
Bytes SourceText() {
    Bytes out;
    for (const char* folder : {"archive", "workflow", "ui", "cli", "tests", "app", "platform", "log"}) {
        const std::filesystem::path root = std::filesystem::path(TESSALY_SOURCE_DIR) / folder;
        if (!std::filesystem::exists(root)) continue;
        for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
            if (!item.is_regular_file()) continue;
            std::ifstream in(item.path(), std::ios::binary);
            out.insert(out.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    while (!out.empty() && out.size() < kSize)
        out.insert(out.end(), out.begin(),
                   out.begin() + static_cast<std::ptrdiff_t>(std::min(out.size(), kSize - out.size())));
    out.resize(std::min(out.size(), kSize));
    return out;
}

// Manual pages, when the machine has them (gzip files read with zlib).
Bytes ManualText() {
    Bytes out;
    const std::filesystem::path folder = "/usr/share/man/man1";
    if (!std::filesystem::exists(folder)) return out;
    std::vector<std::filesystem::path> pages;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        if (item.path().extension() == ".gz") pages.push_back(item.path());
    std::sort(pages.begin(), pages.end());
    Bytes chunk(1 << 16);
    for (const auto& page : pages) {
        gzFile file = gzopen(page.string().c_str(), "rb");
        if (file == nullptr) continue;
        for (int n; (n = gzread(file, chunk.data(), static_cast<unsigned>(chunk.size()))) > 0;)
            out.insert(out.end(), chunk.begin(), chunk.begin() + n);
        gzclose(file);
        if (out.size() >= kSize) break;
    }
    out.resize(std::min(out.size(), kSize));
    return out;
}

const Bytes& Data(int kind) {
    static std::map<int, Bytes> cache;
    auto found = cache.find(kind);
    if (found != cache.end()) return found->second;
    Bytes data;
    switch (kind) {
        case 0: data = ManualText(); break;
        case 1: data = SourceText(); break;
        case 2: data = testzip::TextContent("bench", kSize); break;
        default: data = testzip::NoiseContent(5, kSize); break;
    }
    return cache.emplace(kind, std::move(data)).first->second;
}

// True (and the benchmark marked skipped) when this machine has no such data.
bool SkippedForLackOf(const Bytes& data, benchmark::State& state) {
    if (!data.empty()) return false;
    state.SkipWithError("no such data on this machine");
    return true;
}

const char* KindName(int kind) {
    static const char* const kNames[] = {"manual pages", "source code", "word list", "noise"};
    return kNames[kind];
}

void Resync(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::size_t damage = static_cast<std::size_t>(state.range(1));
    const Bytes& data = Data(kind);
    if (data.empty()) {
        state.SkipWithError("no such data on this machine");
        return;
    }
    const Bytes intact = testzip::RawDeflate(data);
    const auto blocks = testzip::BlockBoundaries(intact);
    const std::size_t middle = blocks.size() / 2;
    Bytes stream = intact;
    testzip::BreakBlockHeader(stream, blocks[middle].bit);
    std::mt19937 random(3);
    const std::size_t after = static_cast<std::size_t>((blocks[middle].bit + 10) / 8);
    for (std::size_t i = 0; i + 1 < damage && after + i < stream.size(); ++i) stream[after + i] = random() & 0xFF;
    const std::uint64_t damagedBlock = middle > 0 ? blocks[middle - 1].bit : 0;
    const std::uint64_t lostBefore = middle > 0 ? blocks[middle - 1].offset : 0;

    double searchMs = 0, tailMs = 0, certain = 0, inflateMs = 0;
    Bytes out(1 << 18);
    for (auto _ : state) {
        auto t0 = Clock::now();
        uLongf size = static_cast<uLongf>(data.size());
        Bytes plain(data.size());
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = const_cast<Bytef*>(intact.data());
        z.avail_in = static_cast<uInt>(intact.size());
        z.next_out = plain.data();
        z.avail_out = static_cast<uInt>(size);
        inflate(&z, Z_FINISH);
        inflateEnd(&z);
        inflateMs = Ms(Clock::now() - t0);

        t0 = Clock::now();
        DeflateResync resync(stream.data(), stream.size(),
                             TailRecovery::SearchLimits(stream.size() - damagedBlock / 8, false));
        DeflateResync::Result found = resync.Search(damagedBlock + 1);
        while (found.outcome == DeflateResync::Outcome::ToBreak) found = resync.Search(found.endBit + 1);
        searchMs = Ms(Clock::now() - t0);
        certain = 0;
        tailMs = 0;
        if (found.outcome == DeflateResync::Outcome::ToStreamEnd) {
            t0 = Clock::now();
            ResyncTail tail(stream.data(), stream.size(), found.startBit, found.endBit);
            std::vector<ByteRange> uncertain;
            while (tail.Next(out.data(), out.size(), uncertain).status == ResyncTail::Status::Running) {
            }
            tailMs = Ms(Clock::now() - t0);
            certain = static_cast<double>(tail.Produced() - tail.UncertainBytes()) /
                      static_cast<double>(data.size() - lostBefore);
        }
    }
    state.SetLabel(KindName(kind));
    state.counters["certain"] = certain;
    state.counters["searchMs"] = searchMs;
    state.counters["tailMs"] = tailMs;
    state.counters["inflateMs"] = inflateMs;
}

void Hopeless(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const Bytes& data = Data(kind);
    if (SkippedForLackOf(data, state)) return;
    Bytes stream = testzip::RawDeflate(data);
    std::mt19937 random(4);
    for (std::size_t i = stream.size() / 2; i < stream.size(); ++i) stream[i] = random() & 0xFF;
    const std::uint64_t from = std::uint64_t{stream.size() / 2} * 8;
    double searchMs = 0;
    int outcome = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        DeflateResync resync(stream.data(), stream.size(), TailRecovery::SearchLimits(stream.size() / 2, false));
        outcome = static_cast<int>(resync.Search(from).outcome);
        searchMs = Ms(Clock::now() - t0);
    }
    state.SetLabel(KindName(kind));
    state.counters["searchMs"] = searchMs;
    state.counters["found"] = outcome <= 1 ? 1 : 0;
}

// Damage zlib reads through: 1 KiB of random bytes in the middle of the
// stream, found by compressing the decoded bytes again (DamageLocator).
// Counters: located (1 when found), certain (share of the bytes after the
// damage that come back certain), locateMs, tailMs, inflateMs.
void ReadThrough(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const Bytes& data = Data(kind);
    if (SkippedForLackOf(data, state)) return;
    Bytes stream = testzip::RawDeflate(data);
    std::mt19937 random(5);
    const std::size_t at = stream.size() / 2;
    for (std::size_t i = 0; i < 1024; ++i) stream[at + i] = random() & 0xFF;
    testzip::TempFolder folder("tessaly-bench-resync");
    const auto path = folder / "decoded";
    double locateMs = 0, tailMs = 0, inflateMs = 0, certain = 0, located = 0;
    Bytes out(1 << 18);
    for (auto _ : state) {
        auto t0 = Clock::now();
        Bytes decoded(data.size() * 2);
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = stream.data();
        z.avail_in = static_cast<uInt>(stream.size());
        z.next_out = decoded.data();
        z.avail_out = static_cast<uInt>(decoded.size());
        const int code = inflate(&z, Z_FINISH);
        decoded.resize(z.total_out);
        inflateEnd(&z);
        inflateMs = Ms(Clock::now() - t0);
        if (code != Z_STREAM_END) {
            state.SkipWithError("the damage broke the stream: not a read-through case");
            return;
        }
        testzip::WriteFileBytes(path, decoded);
        CFile file;
        file.Open(path, CFile::Mode::Read);
        t0 = Clock::now();
        const auto found = LocateDeflateDamage(stream.data(), stream.size(), file, decoded.size(), {});
        locateMs = Ms(Clock::now() - t0);
        located = found ? 1 : 0;
        if (!found) continue;
        t0 = Clock::now();
        ResyncTail tail(stream.data(), stream.size(), found->resumeBlock.bit, ~std::uint64_t{0});
        std::vector<ByteRange> uncertain;
        while (tail.Next(out.data(), out.size(), uncertain).status == ResyncTail::Status::Running) {
        }
        tailMs = Ms(Clock::now() - t0);
        const std::uint64_t damagedAt = found->damagedBlock.output;
        certain =
            static_cast<double>(tail.Produced() - tail.UncertainBytes()) / static_cast<double>(data.size() - damagedAt);
    }
    state.SetLabel(KindName(kind));
    state.counters["located"] = located;
    state.counters["certain"] = certain;
    state.counters["locateMs"] = locateMs;
    state.counters["tailMs"] = tailMs;
    state.counters["inflateMs"] = inflateMs;
}

BENCHMARK(Resync)->ArgsProduct({{0, 1, 2, 3}, {1, 1024, 4096}})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Hopeless)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ReadThrough)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tessaly
