#include "archive/resync/DamageLocator.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

#include "archive/resync/DeflateWalker.h"
#include "platform/File.h"

namespace tessaly {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 16;
// Levels in the order writers use them: the default first.
constexpr int kLevels[] = {6, 9, 1, 5, 4, 7, 8, 3, 2};
// A level is taken when its output agrees with the stored stream for at
// least this many bytes: more than a first block's header and codes.
constexpr std::size_t kLevelProof = 4096;
// zlib's data_type after a return: the unused bits of the last byte taken,
// and whether it stopped at a block boundary.
constexpr int kUnusedBitsMask = 7;
constexpr int kAtBoundaryFlag = 128;

// The bytes compressing `decoded` again at `level` agree with `compressed`
// for, reading the decoded file from its start (up to `limit` of them).
std::uint64_t AgreeingBytes(const std::uint8_t* compressed, std::size_t size, CFile& decoded, std::uint64_t length,
                            int level, std::uint64_t limit, const std::function<void()>& checkpoint) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
    decoded.Seek(0, CFile::Origin::Begin);
    std::vector<std::uint8_t> in(kChunk), out(kChunk);
    std::uint64_t agreed = 0;
    std::uint64_t left = length;
    bool differ = false;
    while (!differ && agreed < limit) {
        const std::size_t n =
            left == 0 ? 0 : decoded.Read(in.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, in.size())));
        left -= n;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        const int flush = left == 0 || n == 0 ? Z_FINISH : Z_NO_FLUSH;
        int code = Z_OK;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            code = deflate(&z, flush);
            const std::size_t produced = out.size() - z.avail_out;
            std::size_t same = 0;
            while (same < produced && agreed + same < size && out[same] == compressed[agreed + same]) ++same;
            agreed += same;
            if (same < produced) differ = true;
        } while (!differ && z.avail_out == 0);
        if (flush == Z_FINISH || code == Z_STREAM_END) break;
        if (checkpoint) checkpoint();
    }
    deflateEnd(&z);
    return agreed;
}

// Every block start zlib passes reading `compressed`, up to the end.
std::vector<DeflateBlockStart> BlockStarts(const std::uint8_t* compressed, std::size_t size, bool& whole,
                                           std::uint64_t& decodedLength) {
    std::vector<DeflateBlockStart> starts{{0, 0, false}};
    z_stream z{};
    whole = false;
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return starts;
    z.next_in = const_cast<Bytef*>(compressed);
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(size, 0xFFFFFFFFu));
    std::vector<std::uint8_t> sink(kChunk);
    for (int code = Z_OK; code == Z_OK;) {
        z.next_out = sink.data();
        z.avail_out = static_cast<uInt>(sink.size());
        code = inflate(&z, Z_BLOCK);
        if (code == Z_STREAM_END) {
            whole = true;
            decodedLength = z.total_out;
        }
        if (code != Z_OK || (z.data_type & kAtBoundaryFlag) == 0) continue;
        const std::uint64_t bit = std::uint64_t{z.total_in} * 8 - (z.data_type & kUnusedBitsMask);
        if (bit != starts.back().bit) starts.push_back({bit, z.total_out, false});
    }
    inflateEnd(&z);
    // A stored block's header has type bits 00.
    for (DeflateBlockStart& start : starts) {
        const std::uint64_t typeBit = start.bit + 1;
        if (typeBit + 1 >= std::uint64_t{size} * 8) continue;
        const auto bitAt = [&](std::uint64_t b) { return (compressed[b / 8] >> (b % 8)) & 1; };
        start.stored = bitAt(typeBit) == 0 && bitAt(typeBit + 1) == 0;
    }
    return starts;
}

// zlib ends a block when its buffer of codes is full, so at a given memory
// level every block but the last holds the same number of literals and
// matches. When every block before the damage has that number, a block
// after it that has it too and ends where the next one starts is whole:
// damage reaching into it would change its codes.
bool FollowsTheRule(const std::uint8_t* compressed, std::size_t size, const std::vector<DeflateBlockStart>& starts,
                    std::size_t damaged) {
    if (damaged == 0) return false;
    DeflateWalker walker(compressed, size);
    walker.SetMinBlockBits(0);
    const auto symbols = [&](std::size_t block) -> std::optional<std::uint64_t> {
        const DeflateWalker::Walk walk = walker.Run(starts[block].bit, ~std::uint64_t{0}, starts[block + 1].bit);
        if (walk.outcome != DeflateWalker::Outcome::KnownEnd || walk.firstBlockFixed || starts[block].stored)
            return std::nullopt;
        return walk.firstBlockSymbols;
    };
    const std::optional<std::uint64_t> count = symbols(0);
    if (!count) return false;
    for (std::size_t block = 1; block < damaged; ++block)
        if (symbols(block) != count) return false;
    return symbols(damaged + 1) == count;
}

}  // namespace

std::optional<LocatedDamage> LocateDeflateDamage(const std::uint8_t* compressed, std::size_t size, CFile& decoded,
                                                 std::uint64_t length, const std::function<void()>& checkpoint) {
    std::optional<int> level;
    for (const int candidate : kLevels) {
        if (AgreeingBytes(compressed, size, decoded, length, candidate, kLevelProof, checkpoint) >= kLevelProof) {
            level = candidate;
            break;
        }
    }
    if (!level) return std::nullopt;
    const std::uint64_t agreed = AgreeingBytes(compressed, size, decoded, length, *level, size, checkpoint);
    if (agreed >= size) return std::nullopt;  // the stream is as zlib writes these bytes
    bool whole = false;
    std::uint64_t decodedLength = 0;
    const std::vector<DeflateBlockStart> starts = BlockStarts(compressed, size, whole, decodedLength);
    if (!whole) return std::nullopt;
    // The block holding the first byte that differs, and the blocks before
    // it, which must all be coded.
    std::size_t damaged = 0;
    while (damaged + 1 < starts.size() && starts[damaged + 1].bit <= agreed * 8) ++damaged;
    for (std::size_t i = 0; i <= damaged; ++i)
        if (starts[i].stored) return std::nullopt;
    // Decoding out of step can end a block early, so the block start right
    // after the damage may be a false one, or the damage may run into the
    // block after; the one after that is taken, unless the block right
    // after the damage proves whole by its number of codes.
    if (damaged + 2 >= starts.size()) return std::nullopt;
    const std::size_t resume = FollowsTheRule(compressed, size, starts, damaged) ? damaged + 1 : damaged + 2;
    return LocatedDamage{starts[damaged], starts[resume], decodedLength};
}

}  // namespace tessaly
