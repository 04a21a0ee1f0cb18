// The salvage corpus read through small, odd-sized buffers: the scan window,
// the decoder's compressed input and the extraction's output block shrunk to
// 1, 7 and 4 093 bytes (ScopedBufferSizes, and the block size extraction is
// given). Records, names, descriptors, streams and their tails then straddle
// buffer boundaries everywhere; every archive must still salvage exactly as
// it does at the default sizes: the same entries listed, the same outcomes
// and reasons, the same bytes and CRC-32 written.
//
// The corpus is the damage the other suites build (truncations, zeroed and
// flipped bytes, garbled central records, a stub in front, streamed entries
// with lost ends, a text-mode transfer, encryption, every compression method
// this build reads), with contents scaled down for the smallest sizes so
// that reading a byte at a time stays quick under the sanitizers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/BufferSizes.h"
#include "archive/CompressionMethods.h"
#include "archive/scan/ScanWindow.h"
#include "platform/File.h"
#include "tests/archive/DamageCorpus.h"
#include "tests/archive/SalvageRun.h"
#include "tests/support/Damage.h"
#include "tests/support/Deflate64Writer.h"
#include "tests/support/Encoders.h"
#include "tests/support/TempFolder.h"

namespace tessaly::archivetest {
namespace {

using namespace testzip;

constexpr const char* kPassword = kCorpusPassword;

// Everything a salvage run gave, as text: equal text, equal salvage. The
// run's own folder, which messages may name, is written as "<root>".
std::string Describe(const SalvageRun& run) {
    std::ostringstream out;
    out << "open " << (run.openThrew ? "threw: " + run.openError : "ok") << ", cut record at "
        << (run.cutRecordOffset ? std::to_string(*run.cutRecordOffset) : "none") << "\n";
    for (const EntryRun& entry : run.entries) {
        const CFileHeader& info = entry.info;
        out << info.fileName << " @" << info.localHeaderOffset << " method " << info.method << " crc " << info.crc32
            << " sizes " << info.compressedSize << "/" << info.uncompressedSize << ": "
            << (entry.threw      ? "threw " + entry.error
                : entry.returned ? "returned"
                                 : "refused")
            << ", " << OutcomeName(entry.report.outcome) << " (" << entry.report.detail << "), "
            << entry.report.bytesWritten << " bytes, crc " << entry.report.crc32 << "\n";
    }
    for (const std::string& file : run.files) {
        const std::optional<Bytes> content = run.FileContent(file);
        out << "file " << file << ": "
            << (content ? std::to_string(content->size()) + " bytes, crc " + std::to_string(Crc32(*content))
                        : "not a file")
            << "\n";
    }
    std::string text = out.str();
    const std::string root = run.Root().string();
    for (std::size_t at = text.find(root); at != std::string::npos; at = text.find(root, at))
        text.replace(at, root.size(), "<root>");
    return text;
}

struct OddSize {
    const char* label;
    std::size_t bytes;  // 0: the default sizes
    std::size_t unit;   // corpus contents are multiples of this many bytes
};

void PrintTo(const OddSize& size, std::ostream* os) { *os << size.label; }

class OddSizedReads : public ::testing::TestWithParam<OddSize> {};

// The default run is checked against what the corpus knows (the untouched
// entries come out intact); the odd-sized run against the default run.
TEST_P(OddSizedReads, SalvageTheCorpusAsDefaultSizesDo) {
    const OddSize& size = GetParam();
    for (const CorpusArchive& archive : BuildDamageCorpus(size.unit)) {
        for (RepairMode mode : {QuickRepair, AdvanceRepair}) {
            SCOPED_TRACE(archive.label + " " + ModeName(mode));
            FixedPassword defaultPassword(kPassword);
            SalvageOptions options;
            options.passwords = &defaultPassword;
            const SalvageRun expected(archive.bytes, mode, options);
            for (const EntryToWrite& input : archive.intact) EXPECT_TRUE(IsIntact(expected, input.name, input.data));
            if (size.bytes == 0) continue;

            const ScopedBufferSizes sizes({size.bytes, size.bytes});
            FixedPassword oddPassword(kPassword);
            options.passwords = &oddPassword;
            options.bufferSize = size.bytes;
            const SalvageRun odd(archive.bytes, mode, options);
            EXPECT_EQ(Describe(odd), Describe(expected));
            for (const std::string& file : expected.files)
                EXPECT_EQ(odd.FileContent(file), expected.FileContent(file)) << file;
        }
    }
}

// Unit 1000 is the damage suite's own content sizes; a byte at a time reads
// a corpus a tenth of that.
const OddSize kOddSizes[] = {
    {"Default", 0, 1000},
    {"OneByte", 1, 100},
    {"SevenBytes", 7, 250},
    {"Bytes4093", 4093, 1000},
};

INSTANTIATE_TEST_SUITE_P(Sizes, OddSizedReads, ::testing::ValuesIn(kOddSizes),
                         [](const ::testing::TestParamInfo<OddSize>& info) { return std::string(info.param.label); });

// The window finds, reads and checksums the same at every capacity,
// capacities below the four bytes a signature takes included: signatures
// straddle every window boundary, and the last ones are cut by the end of
// the file.
TEST(ScanWindowCapacity, ChangesNothingItGives) {
    Bytes data = NoiseContent(21, 9000);
    const Bytes local = {0x50, 0x4B, 0x03, 0x04};
    for (std::size_t at = 1; at + 4 < data.size(); at += 4093 / 3) Overwrite(data, at, local);
    for (std::size_t at : {std::size_t{4091}, std::size_t{4092}, std::size_t{8186}}) Overwrite(data, at, local);
    Overwrite(data, data.size() - 3, {0x50, 0x4B, 0x03});
    TempFolder folder;
    WriteFileBytes(folder / "window.bin", data);
    CBigFile file;
    ASSERT_TRUE(file.Open(folder / "window.bin", CFile::Mode::Read));
    std::vector<std::uint64_t> expected;
    for (std::size_t q = 0; q + 4 <= data.size(); ++q)
        if (std::equal(local.begin(), local.end(), data.begin() + static_cast<std::ptrdiff_t>(q)))
            expected.push_back(q);
    for (std::size_t capacity :
         {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4093}, ScanWindow::kDefaultCapacity}) {
        SCOPED_TRACE(capacity);
        ScanWindow window(file, data.size(), capacity);
        std::vector<std::uint64_t> found;
        for (std::uint64_t q = window.Find(0x04034B50, 0, data.size()); q < data.size();
             q = window.Find(0x04034B50, q + 1, data.size()))
            found.push_back(q);
        EXPECT_EQ(found, expected);
        std::uint32_t value = 0;
        EXPECT_TRUE(window.ReadU32(4092, value) && value == 0x04034B50);
        EXPECT_FALSE(window.ReadU32(data.size() - 3, value));
        Bytes read(4500);
        ASSERT_EQ(window.Read(4090, read.data(), read.size()), read.size());
        EXPECT_TRUE(std::equal(read.begin(), read.end(), data.begin() + 4090));
        EXPECT_EQ(window.Read(data.size() - 2, read.data(), 7), 2u);
        EXPECT_EQ(window.ExtendCrc(0, 0, data.size()), Crc32(data));
    }
}

// The knob's guard puts the sizes back, nested guards included, and a zero
// size is read as a single byte rather than an empty buffer.
TEST(ScopedBufferSizes, RestoresThePreviousSizes) {
    const BufferSizes defaults = CurrentBufferSizes();
    {
        const ScopedBufferSizes outer({7, 4093});
        EXPECT_EQ(CurrentBufferSizes().scanWindow, 7u);
        EXPECT_EQ(CurrentBufferSizes().decoderInput, 4093u);
        {
            const ScopedBufferSizes inner({0, 1});
            EXPECT_EQ(CurrentBufferSizes().scanWindow, 1u);
            EXPECT_EQ(CurrentBufferSizes().decoderInput, 1u);
        }
        EXPECT_EQ(CurrentBufferSizes().scanWindow, 7u);
    }
    EXPECT_EQ(CurrentBufferSizes().scanWindow, defaults.scanWindow);
    EXPECT_EQ(CurrentBufferSizes().decoderInput, defaults.decoderInput);
    EXPECT_EQ(defaults.scanWindow, BufferSizes::Defaults().scanWindow);
}

}  // namespace
}  // namespace tessaly::archivetest
