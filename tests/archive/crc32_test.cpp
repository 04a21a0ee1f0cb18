// The CRC-32 every output goes through equals zlib's, whatever the block
// sizes and alignments it is given in.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "archive/Crc32.h"
#include "tests/support/ZipWriter.h"

namespace tessaly::archivetest {
namespace {

std::uint32_t ZlibCrc(const std::uint8_t* data, std::size_t size) {
    return static_cast<std::uint32_t>(::crc32(0, data, static_cast<uInt>(size)));
}

TEST(Crc32, EqualsZlibsInPiecesOfEverySizeAndAlignment) {
    const testzip::Bytes data = testzip::NoiseContent(21, 300000);
    EXPECT_EQ(UpdateCrc32(0, data.data(), 0), 0u);
    for (std::size_t offset = 0; offset < 16; ++offset)
        for (std::size_t size : {1, 2, 3, 7, 15, 16, 17, 63, 64, 65, 255, 256, 4093, 65536, 299000}) {
            ASSERT_EQ(UpdateCrc32(0, data.data() + offset, size), ZlibCrc(data.data() + offset, size))
                << offset << "+" << size;
        }
    std::uint32_t crc = 0;
    for (std::size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 % 70001 + 1)
        crc = UpdateCrc32(crc, data.data() + at, std::min(piece, data.size() - at));
    EXPECT_EQ(crc, ZlibCrc(data.data(), data.size()));
}

}  // namespace
}  // namespace tessaly::archivetest
