#include "archive/methods/DeflateBlockHeader.h"

#include <array>

namespace tessaly {

namespace {

// Bits taken least significant first, as Deflate packs them.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size, unsigned bit) : data_(data), size_(size), at_(bit) {}

    // False once the bytes run out.
    bool Take(unsigned count, unsigned& value) {
        if (at_ + count > std::uint64_t{size_} * 8) return false;
        value = 0;
        for (unsigned i = 0; i < count; ++i, ++at_) value |= ((data_[at_ >> 3] >> (at_ & 7)) & 1u) << i;
        return true;
    }
    void AlignToByte() { at_ = (at_ + 7) & ~std::uint64_t{7}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t at_;
};

enum class Fullness { Complete, Incomplete, OverSubscribed };

// Whether a prefix code of these lengths (0: symbol unused) fills the code
// space exactly, leaves part of it unused, or asks for more than there is.
Fullness CodeFullness(const unsigned char* lengths, std::size_t count) {
    std::array<unsigned, 16> perLength{};
    for (std::size_t i = 0; i < count; ++i) ++perLength[lengths[i]];
    std::int64_t left = 1;
    for (unsigned length = 1; length < 16; ++length) {
        left = 2 * left - perLength[length];
        if (left < 0) return Fullness::OverSubscribed;
    }
    return left == 0 ? Fullness::Complete : Fullness::Incomplete;
}

// A canonical prefix code read one bit at a time (headers are short).
class SlowCode {
public:
    SlowCode(const unsigned char* lengths, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) ++perLength_[lengths[i]];
        perLength_[0] = 0;
        std::array<unsigned, 16> next{};
        for (unsigned length = 1; length < 16; ++length) next[length] = next[length - 1] + perLength_[length - 1];
        for (std::size_t i = 0; i < count; ++i)
            if (lengths[i] != 0) symbols_[next[lengths[i]]++] = static_cast<unsigned short>(i);
    }

    bool Decode(BitReader& in, unsigned& symbol, bool& ok) const {
        unsigned code = 0, first = 0, index = 0;
        for (unsigned length = 1; length < 16; ++length) {
            unsigned bit = 0;
            if (!in.Take(1, bit)) return false;
            code |= bit;
            const unsigned count = perLength_[length];
            if (code < first + count) {
                symbol = symbols_[index + code - first];
                ok = true;
                return true;
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        ok = false;
        return true;
    }

private:
    std::array<unsigned, 16> perLength_{};
    std::array<unsigned short, 320> symbols_{};
};

using Kind = DeflateBlockHeader::Kind;

}  // namespace

DeflateBlockHeader ReadDeflateBlockHeader(const std::uint8_t* data, std::size_t size, unsigned bit) {
    DeflateBlockHeader header;
    BitReader in(data, size, bit);
    unsigned final = 0, type = 0;
    if (!in.Take(1, final) || !in.Take(2, type)) return header;
    header.final = final != 0;
    if (type == 0) {
        in.AlignToByte();
        unsigned length = 0, complement = 0;
        if (!in.Take(16, length) || !in.Take(16, complement)) return header;
        header.kind = Kind::Stored;
        header.clean = length == (~complement & 0xFFFFu);
        return header;
    }
    if (type == 1) {
        header.kind = Kind::Fixed;
        return header;
    }
    if (type == 3) {
        header.kind = Kind::Invalid;
        return header;
    }

    unsigned lengthCodes = 0, distanceCodes = 0, codeLengthCodes = 0;
    if (!in.Take(5, lengthCodes) || !in.Take(5, distanceCodes) || !in.Take(4, codeLengthCodes)) return header;
    lengthCodes += 257;
    distanceCodes += 1;
    codeLengthCodes += 4;
    header.kind = Kind::Invalid;
    if (lengthCodes > 286 || distanceCodes > 30) return header;

    static constexpr unsigned char kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    unsigned char codeLengthLengths[19] = {};
    for (unsigned i = 0; i < codeLengthCodes; ++i) {
        unsigned length = 0;
        if (!in.Take(3, length)) return DeflateBlockHeader{};
        codeLengthLengths[kOrder[i]] = static_cast<unsigned char>(length);
    }
    if (CodeFullness(codeLengthLengths, 19) != Fullness::Complete) return header;
    const SlowCode codeLengthCode(codeLengthLengths, 19);

    unsigned char lengths[286 + 30] = {};
    const unsigned total = lengthCodes + distanceCodes;
    for (unsigned at = 0; at < total;) {
        unsigned symbol = 0;
        bool ok = false;
        if (!codeLengthCode.Decode(in, symbol, ok)) return DeflateBlockHeader{};
        if (!ok) return header;
        if (symbol < 16) {
            lengths[at++] = static_cast<unsigned char>(symbol);
            continue;
        }
        unsigned repeat = 0, extra = 0;
        unsigned char value = 0;
        if (symbol == 16) {
            if (at == 0) return header;
            value = lengths[at - 1];
            if (!in.Take(2, extra)) return DeflateBlockHeader{};
            repeat = 3 + extra;
        } else if (symbol == 17) {
            if (!in.Take(3, extra)) return DeflateBlockHeader{};
            repeat = 3 + extra;
        } else {
            if (!in.Take(7, extra)) return DeflateBlockHeader{};
            repeat = 11 + extra;
        }
        if (at + repeat > total) return header;
        while (repeat-- > 0) lengths[at++] = value;
    }
    if (lengths[256] == 0) return header;
    const Fullness literals = CodeFullness(lengths, lengthCodes);
    const Fullness distances = CodeFullness(lengths + lengthCodes, distanceCodes);
    if (literals == Fullness::OverSubscribed || distances == Fullness::OverSubscribed) return header;
    header.kind = Kind::Dynamic;
    header.clean = literals == Fullness::Complete && distances == Fullness::Complete;
    return header;
}

}  // namespace tessaly
