#include "archive/resync/Bzip2Blocks.h"

#include <bzlib.h>

#include <algorithm>
#include <climits>

namespace tessaly {

namespace {

constexpr std::uint64_t kBlockMagic = 0x314159265359;
constexpr std::uint64_t kEndMagic = 0x177245385090;
constexpr unsigned kMagicBits = 48;
constexpr unsigned kCrcBits = 32;
constexpr std::uint64_t kMagicMask = (std::uint64_t{1} << kMagicBits) - 1;
constexpr std::size_t kOutputPiece = std::size_t{1} << 16;

// BZip2 writes bits from each byte's top bit down.
class BitWriter {
public:
    void Put(std::uint64_t value, unsigned count) {
        while (count > 0) {
            --count;
            Bit(static_cast<unsigned>((value >> count) & 1));
        }
    }
    void Copy(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) {
        while (from < to && (from % 8 != 0 || used_ != 0)) {
            Bit(static_cast<unsigned>((data[from / 8] >> (7 - from % 8)) & 1));
            ++from;
        }
        const std::uint64_t whole = (to - from) / 8;
        bytes_.insert(bytes_.end(), data + from / 8, data + from / 8 + whole);
        for (from += whole * 8; from < to; ++from) Bit(static_cast<unsigned>((data[from / 8] >> (7 - from % 8)) & 1));
    }
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    void Bit(unsigned bit) {
        if (used_ == 0) bytes_.push_back(0);
        bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (bit << (7 - used_)));
        used_ = (used_ + 1) % 8;
    }
    std::vector<std::uint8_t> bytes_;
    unsigned used_ = 0;
};

std::uint64_t ReadBits(const std::uint8_t* data, std::uint64_t at, unsigned count) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i, ++at) value = (value << 1) | ((data[at / 8] >> (7 - at % 8)) & 1);
    return value;
}

}  // namespace

std::vector<Bzip2Block> FindBzip2Blocks(const std::uint8_t* data, std::size_t size) {
    std::vector<Bzip2Block> blocks;
    std::optional<std::uint64_t> open;  // the start of a block whose end is not found yet
    std::uint64_t window = 0;           // the last 64 bits read, the newest lowest
    for (std::size_t i = 0; i < size; ++i) {
        window = (window << 8) | data[i];
        if (i + 1 < kMagicBits / 8) continue;
        // A magic ending within this byte: its last bit is one of its 8.
        for (unsigned shift = 8; shift-- > 0;) {
            const std::uint64_t candidate = (window >> shift) & kMagicMask;
            if (candidate != kBlockMagic && candidate != kEndMagic) continue;
            const std::uint64_t endBit = std::uint64_t{i + 1} * 8 - shift;
            if (endBit < kMagicBits) continue;
            const std::uint64_t start = endBit - kMagicBits;
            if (open) blocks.push_back({*open, start, candidate == kEndMagic});
            open.reset();
            if (candidate == kBlockMagic) open = start;
        }
    }
    return blocks;
}

std::uint64_t Bzip2StreamEndBit(const Bzip2Block& block) { return (block.endBit + kMagicBits + kCrcBits + 7) / 8 * 8; }

std::optional<std::uint64_t> DecodeBzip2Block(const std::uint8_t* data, const Bzip2Block& block,
                                              const Bzip2Sink& sink) {
    if (block.endBit < block.startBit + kMagicBits + kCrcBits) return std::nullopt;
    BitWriter stream;
    stream.Put('B', 8);
    stream.Put('Z', 8);
    stream.Put('h', 8);
    stream.Put('9', 8);  // the largest block size: any block fits
    stream.Copy(data, block.startBit, block.endBit);
    stream.Put(kEndMagic, kMagicBits);
    stream.Put(ReadBits(data, block.startBit + kMagicBits, kCrcBits), kCrcBits);

    bz_stream z{};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) return std::nullopt;
    std::vector<std::uint8_t> piece(kOutputPiece);
    z.next_in = reinterpret_cast<char*>(stream.Bytes().data());
    z.avail_in = static_cast<unsigned>(std::min<std::size_t>(stream.Bytes().size(), UINT_MAX));
    std::uint64_t produced = 0;
    int result = BZ_OK;
    while (result == BZ_OK) {
        z.next_out = reinterpret_cast<char*>(piece.data());
        z.avail_out = static_cast<unsigned>(piece.size());
        result = BZ2_bzDecompress(&z);
        const std::size_t n = piece.size() - z.avail_out;
        if (n > 0 && sink) sink(piece.data(), n);
        produced += n;
        if (result == BZ_OK && n == 0 && z.avail_in == 0) break;  // the stream ended early
    }
    BZ2_bzDecompressEnd(&z);
    if (result != BZ_STREAM_END) return std::nullopt;
    return produced;
}

}  // namespace tessaly
