#include "bench/BenchFiles.h"

#include <cstdlib>
#include <random>
#include <string>

#include "platform/File.h"
#include "tests/support/Hostile.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::bench {
namespace {

testzip::TempFolder& RunFolder() {
    static testzip::TempFolder folder("tessaly-bench");
    return folder;
}

std::uint64_t ScanMiB() {
    const char* text = std::getenv("TESSALY_BENCH_SCAN_MIB");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return value > 0 ? static_cast<std::uint64_t>(value) : 256;
}

// Breaks every "PK" followed by a byte from 1 to 8 (the four record
// signatures and their kin) and every 'P' in the last three bytes, where a
// signature could straddle two blocks. The other bytes stay random, so 'P'
// and "PK" still occur as often as in real data: the search has to look at
// them and move on.
void BreakSignatures(std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i + 2 < size; ++i)
        if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] >= 1 && bytes[i + 2] <= 8) bytes[i + 2] = 9;
    for (std::size_t i = size - 3; i < size; ++i)
        if (bytes[i] == 'P') bytes[i] = 'Q';
}

// Random bytes without any record signature.
void WriteSignatureFree(const std::filesystem::path& path, std::uint64_t size) {
    CFile file;
    if (!file.Open(path, CFile::Mode::CreateWrite)) std::abort();
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    for (std::uint64_t written = 0; written < size; written += block.size() * 8) {
        for (auto& word : block) word = random();
        BreakSignatures(reinterpret_cast<std::uint8_t*>(block.data()), block.size() * 8);
        file.Write(block.data(), block.size() * 8);
    }
    file.Close();
}

// A mix of sizes around a few hundred bytes to a few kilobytes.
std::vector<testzip::EntryToWrite> SmallEntries() {
    std::vector<testzip::EntryToWrite> entries;
    entries.reserve(kManyEntries);
    for (std::uint32_t i = 0; i < kManyEntries; ++i) {
        const std::string name = "folder" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".txt";
        const std::size_t size = 200 + (i * 7919u) % 4000;
        entries.push_back(testzip::Deflated(name, testzip::TextContent(name, size)));
    }
    return entries;
}

}  // namespace

std::uint64_t FileSize(const std::filesystem::path& path) { return std::filesystem::file_size(path); }

std::filesystem::path ScratchFolder(const char* name) {
    const auto folder = RunFolder() / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

const std::filesystem::path& SignatureFreeFile() {
    static const std::filesystem::path path = [] {
        const auto p = RunFolder() / "signature-free.bin";
        WriteSignatureFree(p, ScanMiB() << 20);
        return p;
    }();
    return path;
}

const std::filesystem::path& SignaturePrefixFile() {
    static const std::filesystem::path path = [] {
        const auto p = RunFolder() / "signature-prefixes.bin";
        std::string block;
        for (int i = 0; i < (1 << 19); ++i) block += "PK";
        CFile file;
        if (!file.Open(p, CFile::Mode::CreateWrite)) std::abort();
        for (int i = 0; i < 64; ++i) file.Write(block.data(), block.size());
        file.Close();
        return p;
    }();
    return path;
}

const std::filesystem::path& ManyEntriesArchive() {
    static const std::filesystem::path path = [] {
        const auto p = RunFolder() / "many-entries.zip";
        testzip::WriteFileBytes(p, testzip::BuildZip(SmallEntries()).bytes);
        return p;
    }();
    return path;
}

const LargeEntryArchive& LargeDeflatedArchive() {
    static const LargeEntryArchive archive = [] {
        // Text with a noisy stretch every so often: compresses about 3:1,
        // like ordinary documents, so inflate does real work.
        testzip::Bytes data;
        for (std::uint32_t part = 0; part < 64; ++part) {
            const auto text = testzip::TextContent("part" + std::to_string(part), 1536 * 1024);
            const auto noise = testzip::NoiseContent(part, 512 * 1024);
            data.insert(data.end(), text.begin(), text.end());
            data.insert(data.end(), noise.begin(), noise.end());
        }
        const testzip::BuiltZip zip = testzip::BuildZip({testzip::Deflated("large.bin", std::move(data))});
        LargeEntryArchive result;
        result.path = RunFolder() / "large-entry.zip";
        result.dataOffset = zip.entries[0].dataStart;
        result.compressedSize = zip.entries[0].compressedSize;
        result.uncompressedSize = zip.entries[0].uncompressedSize;
        testzip::WriteFileBytes(result.path, zip.bytes);
        return result;
    }();
    return archive;
}

const std::filesystem::path& TextModeTransferArchive() {
    static const std::filesystem::path path = [] {
        const auto p = RunFolder() / "text-mode-transfer.zip";
        testzip::WriteFileBytes(p, testzip::TextModeTransferred(kManyEntries));
        return p;
    }();
    return path;
}

}  // namespace tessaly::bench
