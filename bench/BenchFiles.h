// The files the benchmarks measure, made once per run in a temporary folder
// (removed at exit): a large region without any record signature, a healthy
// archive with many small entries, and an archive holding one large deflated
// entry. TESSALY_BENCH_SCAN_MIB sets the size of the signature-free file.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tessaly::bench {

struct LargeEntryArchive {
    std::filesystem::path path;
    std::uint64_t dataOffset = 0;  // first byte of the entry's compressed data
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

const std::filesystem::path& SignatureFreeFile();
// 64 MiB of "PKPK...": no signature, but a signature's first byte at every
// other position, the worst case for a search that looks for that byte.
const std::filesystem::path& SignaturePrefixFile();
const std::filesystem::path& ManyEntriesArchive();
constexpr std::uint32_t kManyEntries = 10000;
const LargeEntryArchive& LargeDeflatedArchive();
// kManyEntries small entries after a text-mode transfer (every LF became
// CR LF): nearly every entry damaged, about 17 MB.
const std::filesystem::path& TextModeTransferArchive();

// A fresh, empty folder below the run's temporary folder.
std::filesystem::path ScratchFolder(const char* name);

std::uint64_t FileSize(const std::filesystem::path& path);

}  // namespace tessaly::bench
