#include "archive/methods/PrefixCode.h"

#include <algorithm>

namespace tessaly::deflate64 {

CodeEntry LengthSymbol(unsigned i) {
    if (i < 8) return {static_cast<std::uint16_t>(3 + i), 0, 0};
    // Deflate64 gives the last length symbol 16 extra bits on top of 3
    // (lengths 3 to 65538) where Deflate has the fixed length 258.
    if (i >= 28) return {3, 16, 0};
    const unsigned extra = i / 4 - 1;
    return {static_cast<std::uint16_t>(((4 + (i & 3)) << extra) + 3), static_cast<std::uint8_t>(extra), 0};
}

CodeEntry DistanceSymbol(unsigned i) {
    // Symbols 30 and 31 (distances 32769 to 65536) are Deflate64's own.
    if (i < 4) return {static_cast<std::uint16_t>(1 + i), 0, 0};
    const unsigned extra = i / 2 - 1;
    return {static_cast<std::uint16_t>(((2 + (i & 1)) << extra) + 1), static_cast<std::uint8_t>(extra), 0};
}

namespace {

CodeEntry Meaning(CodeKind kind, unsigned symbol) {
    switch (kind) {
        case CodeKind::CodeLengths: return {static_cast<std::uint16_t>(symbol), 0, 0};
        case CodeKind::Distances: return symbol < 32 ? DistanceSymbol(symbol) : CodeEntry{};
        case CodeKind::LiteralLengths:
            if (symbol < 256) return {static_cast<std::uint16_t>(symbol), kOpLiteral, 0};
            if (symbol == 256) return {0, kOpEndOfBlock, 0};
            if (symbol < 286) return LengthSymbol(symbol - 257);
            return {};  // 286 and 287 have codes in the fixed code but mean nothing
    }
    return {};
}

unsigned Reversed(unsigned code, unsigned length) {
    unsigned out = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1) out = (out << 1) | (code & 1);
    return out;
}

// Writes `entry` at every index of a table of `tableBits` whose low `length`
// bits are `index`.
void Spread(CodeEntry* table, unsigned tableBits, unsigned index, unsigned length, CodeEntry entry) {
    for (unsigned i = index; i < (1u << tableBits); i += 1u << length) table[i] = entry;
}

// Checks the code's lengths against the prefix rule (Kraft's sum).
bool Acceptable(const unsigned (&count)[kMaxCodeLength + 1], CodeKind kind) {
    int left = 1;
    unsigned used = 0;
    for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
        left = left * 2 - static_cast<int>(count[length]);
        used += count[length];
        if (left < 0) return false;  // over-subscribed
    }
    if (left == 0) return true;
    if (used == 1 && count[1] == 1) return true;      // one symbol, sent as one bit
    return used == 0 && kind == CodeKind::Distances;  // a block of literals only
}

}  // namespace

bool BuildCodeTable(const std::uint8_t* lengths, unsigned count, CodeKind kind, unsigned rootBits, CodeTable& table) {
    if (count > kMaxSymbols) return false;
    unsigned perLength[kMaxCodeLength + 1] = {};
    for (unsigned s = 0; s < count; ++s) {
        if (lengths[s] > kMaxCodeLength) return false;
        ++perLength[lengths[s]];
    }
    perLength[0] = 0;
    if (!Acceptable(perLength, kind)) return false;

    // Canonical codes: shorter codes first, equal lengths in symbol order.
    unsigned next[kMaxCodeLength + 2] = {};
    for (unsigned length = 1, code = 0; length <= kMaxCodeLength; ++length) {
        code = (code + perLength[length - 1]) << 1;
        next[length] = code;
    }

    const unsigned rootSize = 1u << rootBits;
    table.rootBits = rootBits;
    std::fill_n(table.entries.begin(), rootSize, CodeEntry{0, kOpInvalid, static_cast<std::uint8_t>(rootBits)});

    // Sub-tables: one per root index shared by longer codes, as deep as the
    // longest of them.
    std::uint8_t deepest[1u << kLiteralRootBits] = {};
    unsigned codes[kMaxSymbols] = {};
    for (unsigned s = 0; s < count; ++s) {
        const unsigned length = lengths[s];
        if (length == 0) continue;
        codes[s] = Reversed(next[length]++, length);
        if (length > rootBits) {
            std::uint8_t& d = deepest[codes[s] & (rootSize - 1)];
            d = std::max<std::uint8_t>(d, static_cast<std::uint8_t>(length));
        }
    }
    std::size_t used = rootSize;
    for (unsigned r = 0; r < rootSize; ++r) {
        if (deepest[r] == 0) continue;
        const unsigned subBits = deepest[r] - rootBits;
        if (used + (std::size_t{1} << subBits) > table.entries.size()) return false;
        table.entries[r] = {static_cast<std::uint16_t>(used), static_cast<std::uint8_t>(kOpLink | subBits),
                            static_cast<std::uint8_t>(rootBits)};
        std::fill_n(table.entries.begin() + static_cast<std::ptrdiff_t>(used), std::size_t{1} << subBits,
                    CodeEntry{0, kOpInvalid, static_cast<std::uint8_t>(subBits)});
        used += std::size_t{1} << subBits;
    }

    for (unsigned s = 0; s < count; ++s) {
        const unsigned length = lengths[s];
        if (length == 0) continue;
        CodeEntry entry = Meaning(kind, s);
        if (length <= rootBits) {
            entry.bits = static_cast<std::uint8_t>(length);
            Spread(table.entries.data(), rootBits, codes[s], length, entry);
            continue;
        }
        const CodeEntry link = table.entries[codes[s] & (rootSize - 1)];
        entry.bits = static_cast<std::uint8_t>(length - rootBits);
        Spread(table.entries.data() + link.value, link.op & ~kOpLink, codes[s] >> rootBits, length - rootBits, entry);
    }
    return true;
}

}  // namespace tessaly::deflate64
