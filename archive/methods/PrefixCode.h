// Lookup tables for the prefix codes of a Deflate64 stream: built from the
// code lengths a block sends (or the fixed ones), read with a primary table
// indexed by the next `rootBits` input bits and sub-tables for longer codes.
// Every entry already says what its symbol means (a literal byte, the end of
// the block, a base length or distance with its extra bits), so the decoding
// loop needs no second lookup.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessaly::deflate64 {

// What an entry means, in `CodeEntry::op`.
constexpr std::uint8_t kOpMaxExtra = 16;      // op <= 16: a base (`value`) plus `op` extra bits
constexpr std::uint8_t kOpLiteral = 0x40;     // `value` is a literal byte
constexpr std::uint8_t kOpEndOfBlock = 0x41;  // the end of the block
constexpr std::uint8_t kOpInvalid = 0x42;     // no valid symbol has these bits
constexpr std::uint8_t kOpLink = 0x80;        // | sub-table bits; `value` is the sub-table's offset

struct CodeEntry {
    std::uint16_t value = 0;
    std::uint8_t op = kOpInvalid;
    std::uint8_t bits = 0;  // bits the code takes at this level of the table
};

// The three codes a block uses; they differ in what their symbols mean and
// in which incomplete codes are accepted.
enum class CodeKind { CodeLengths, LiteralLengths, Distances };

constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kMaxSymbols = 288;
constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kCodeLengthRootBits = 7;

// Room for any complete code of 288 symbols with a 10-bit root: a sub-table
// of S bits needs at least S + 1 codes, so sub-tables add at most 288 * 32 / 6.
constexpr std::size_t kMaxTableEntries = (std::size_t{1} << kLiteralRootBits) + 1536;

struct CodeTable {
    unsigned rootBits = 0;
    std::array<CodeEntry, kMaxTableEntries> entries{};
};

// The meaning of the literal/length symbol 257 + i and of distance symbol i.
CodeEntry LengthSymbol(unsigned i);
CodeEntry DistanceSymbol(unsigned i);

// Builds `table` for the code given by `lengths` (0 = symbol unused). False
// for an over-subscribed code, or an incomplete one other than a single code
// of one bit or (for distances) no code at all.
bool BuildCodeTable(const std::uint8_t* lengths, unsigned count, CodeKind kind, unsigned rootBits, CodeTable& table);

}  // namespace tessaly::deflate64
