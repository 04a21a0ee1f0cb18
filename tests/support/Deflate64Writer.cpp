#include "tests/support/Deflate64Writer.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tessaly::testzip {

void Deflate64Writer::Bits(std::uint32_t value, unsigned count) {
    bits_ |= std::uint64_t{value & ((std::uint64_t{1} << count) - 1)} << count_;
    count_ += count;
    while (count_ >= 8) {
        out_.push_back(static_cast<std::uint8_t>(bits_));
        bits_ >>= 8;
        count_ -= 8;
    }
}

void Deflate64Writer::Code(std::uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) Bits((code >> i) & 1, 1);
}

void Deflate64Writer::FixedBlock(bool final) { Bits((final ? 1u : 0u) | (1u << 1), 3); }

void Deflate64Writer::FixedSymbol(unsigned symbol) {
    if (symbol < 144)
        Code(0x30 + symbol, 8);
    else if (symbol < 256)
        Code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        Code(symbol - 256, 7);
    else
        Code(0xC0 + symbol - 280, 8);
}

void Deflate64Writer::Literal(std::uint8_t byte) { FixedSymbol(byte); }

void Deflate64Writer::EndOfBlock() { FixedSymbol(256); }

void Deflate64Writer::Match(std::uint32_t length, std::uint32_t distance) {
    const std::uint32_t maxLength = deflate_ ? 258 : 65538;
    const std::uint32_t maxDistance = deflate_ ? 32768 : 65536;
    if (length < 3 || length > maxLength || distance < 1 || distance > maxDistance)
        throw std::invalid_argument("Deflate64Writer: match out of range");
    if (length > 258) {
        FixedSymbol(285);
        Bits(length - 3, 16);
    } else if (deflate_ && length == 258) {
        FixedSymbol(285);  // Deflate's fixed length 258
    } else if (length < 11) {
        FixedSymbol(257 + length - 3);
    } else {
        unsigned extra = 1;
        while (length - 3 >= (8u << extra)) ++extra;  // extra bits e cover 3 + (4 << e) .. 3 + (8 << e) - 1
        const std::uint32_t offset = length - 3 - (4u << extra);
        FixedSymbol(257 + 4 + extra * 4 + (offset >> extra));
        Bits(offset & ((1u << extra) - 1), extra);
    }
    if (distance <= 4) {
        Code(distance - 1, 5);
        return;
    }
    unsigned extra = 1;
    while (distance - 1 >= (4u << extra)) ++extra;  // extra bits e cover 1 + (2 << e) .. (4 << e)
    const std::uint32_t offset = distance - 1 - (2u << extra);
    Code(2 + extra * 2 + (offset >> extra), 5);
    Bits(offset & ((1u << extra) - 1), extra);
}

void Deflate64Writer::StoredBlock(const Bytes& data, bool final) {
    if (data.size() > 0xFFFF) throw std::invalid_argument("Deflate64Writer: stored block too long");
    Bits(final ? 1 : 0, 3);
    if (count_ > 0) Bits(0, 8 - count_);
    const auto length = static_cast<std::uint32_t>(data.size());
    Bits(length, 16);
    Bits(~length, 16);
    out_.insert(out_.end(), data.begin(), data.end());
}

Bytes Deflate64Writer::Finish() {
    if (count_ > 0) Bits(0, 8 - count_);
    return std::move(out_);
}

namespace {

constexpr std::uint32_t kHashSize = 1 << 16;
constexpr unsigned kChainDepth = 16;

std::uint32_t Hash3(const std::uint8_t* p) {
    return ((std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2]) * 2654435761u) >> 16;
}

}  // namespace

Bytes CompressDeflate64(const Bytes& data, const Deflate64Options& options) {
    const std::size_t maxLength = options.deflate ? 258 : 65538;
    const std::size_t maxDistance = options.deflate ? 32768 : 65536;
    Deflate64Writer writer(options.deflate);
    std::vector<std::int64_t> head(kHashSize, -1), previous(data.size(), -1);
    std::size_t symbols = 0;
    const auto startBlock = [&] {
        if (options.blockStarts != nullptr) options.blockStarts->push_back(writer.BitCount());
        writer.FixedBlock(false);
    };
    startBlock();
    for (std::size_t i = 0; i < data.size();) {
        if (symbols == options.blockSymbols) {
            writer.EndOfBlock();
            startBlock();
            symbols = 0;
        }
        ++symbols;
        std::size_t bestLength = 0, bestDistance = 0;
        if (i + 3 <= data.size()) {
            const std::uint32_t h = Hash3(&data[i]);
            std::int64_t candidate = head[h];
            const std::size_t limit = std::min(maxLength, data.size() - i);
            for (unsigned depth = 0; candidate >= 0 && depth < kChainDepth; ++depth) {
                const auto from = static_cast<std::size_t>(candidate);
                if (i - from > maxDistance) break;
                std::size_t n = 0;
                while (n < limit && data[from + n] == data[i + n]) ++n;
                if (n > bestLength) {
                    bestLength = n;
                    bestDistance = i - from;
                }
                if (n == limit) break;
                candidate = previous[from];
            }
        }
        const std::size_t step = bestLength >= 3 ? bestLength : 1;
        if (bestLength >= 3)
            writer.Match(static_cast<std::uint32_t>(bestLength), static_cast<std::uint32_t>(bestDistance));
        else
            writer.Literal(data[i]);
        // Only the first positions of a long match enter the chains: enough
        // for repeats, and it keeps long runs linear.
        for (std::size_t k = i; k < i + std::min<std::size_t>(step, 64) && k + 3 <= data.size(); ++k) {
            const std::uint32_t h = Hash3(&data[k]);
            previous[k] = head[h];
            head[h] = static_cast<std::int64_t>(k);
        }
        i += step;
    }
    writer.EndOfBlock();
    // Block sizes are not known ahead, so an empty block carries the final flag.
    writer.FixedBlock(true);
    writer.EndOfBlock();
    return writer.Finish();
}

}  // namespace tessaly::testzip
