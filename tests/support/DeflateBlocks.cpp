#include "tests/support/DeflateBlocks.h"

#include <zlib.h>

namespace tessaly::testzip {

std::vector<BlockBoundary> BlockBoundaries(const Bytes& stream) {
    std::vector<BlockBoundary> found;
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    Bytes sink(1 << 16);
    for (int code = Z_OK; code == Z_OK;) {
        z.next_out = sink.data();
        z.avail_out = static_cast<uInt>(sink.size());
        code = inflate(&z, Z_BLOCK);
        if ((z.data_type & 128) != 0 || code == Z_STREAM_END)
            found.push_back(
                {static_cast<std::uint64_t>(z.next_in - stream.data()) * 8 - (z.data_type & 7), z.total_out});
    }
    inflateEnd(&z);
    return found;
}

// Bit 0 of a header is the final-block flag, bits 1 and 2 the type; type 3
// is reserved.
void BreakBlockHeader(Bytes& stream, std::uint64_t bit) {
    const int values[3] = {0, 1, 1};
    for (int k = 0; k < 3; ++k) {
        const std::uint64_t at = bit + static_cast<std::uint64_t>(k);
        const auto mask = static_cast<std::uint8_t>(1u << (at % 8));
        std::uint8_t& byte = stream[static_cast<std::size_t>(at / 8)];
        byte = static_cast<std::uint8_t>(values[k] != 0 ? (byte | mask) : (byte & ~mask));
    }
}

}  // namespace tessaly::testzip
