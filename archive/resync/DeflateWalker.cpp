#include "archive/resync/DeflateWalker.h"

#include <algorithm>
#include <limits>

namespace tessaly {

using deflate64::BuildCodeTable;
using deflate64::CodeEntry;
using deflate64::CodeKind;
using deflate64::CodeTable;
using deflate64::kOpEndOfBlock;
using deflate64::kOpInvalid;
using deflate64::kOpLink;
using deflate64::kOpLiteral;

namespace {

// Deflate proper has 286 literal/length and 30 distance symbols; the shared
// tables know Deflate64's meanings, which differ only in symbol 285 (16 extra
// bits there, the fixed length 258 here) and in distance symbols 30 and 31.
constexpr unsigned kMaxLiteralCodes = 286;
constexpr unsigned kMaxDistanceCodes = 30;
constexpr std::uint32_t kMaxDistance = 32768;
constexpr std::uint8_t kDeflate64LongLength = 16;
constexpr unsigned kLongestMatch = 258;

// The order in which a dynamic block sends the code-length code's lengths.
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Bits a symbol of a coded block can need at most: a 15-bit length code, 5
// extra bits, a 15-bit distance code and 13 extra bits.
constexpr unsigned kSymbolBits = 48;

}  // namespace

struct DeflateWalker::Tables {
    CodeTable fixedLiterals;
    CodeTable fixedDistances;
    CodeTable literals;
    CodeTable distances;
    CodeTable codeLengths;
    std::uint8_t lengths[kMaxLiteralCodes + kMaxDistanceCodes] = {};
};

DeflateWalker::DeflateWalker(const std::uint8_t* data, std::size_t size)
    : data_(data), size_(size), endBit_(std::uint64_t{size} * 8), tables_(std::make_unique<Tables>()) {
    std::uint8_t fixed[288];
    std::fill_n(fixed, 144, 8);
    std::fill_n(fixed + 144, 112, 9);
    std::fill_n(fixed + 256, 24, 7);
    std::fill_n(fixed + 280, 8, 8);
    BuildCodeTable(fixed, 288, CodeKind::LiteralLengths, deflate64::kLiteralRootBits, tables_->fixedLiterals);
    std::fill_n(fixed, 32, 5);
    BuildCodeTable(fixed, 32, CodeKind::Distances, deflate64::kDistanceRootBits, tables_->fixedDistances);
}

DeflateWalker::~DeflateWalker() = default;

void DeflateWalker::Seek(std::uint64_t bit) {
    nextByte_ = static_cast<std::size_t>(bit / 8);
    bits_ = 0;
    available_ = 0;
    Refill();
    Drop(static_cast<unsigned>(bit % 8));
}

// Past the end of the data the reader sees zero bits; the walk notices that
// it read them by its position (Overrun).
void DeflateWalker::Refill() {
    while (available_ <= 56) {
        const std::uint64_t byte = nextByte_ < size_ ? data_[nextByte_] : 0;
        bits_ |= byte << available_;
        available_ += 8;
        ++nextByte_;
    }
}

std::uint32_t DeflateWalker::Take(unsigned count) {
    if (available_ < count) Refill();
    const std::uint32_t value = Peek(count);
    Drop(count);
    return value;
}

const CodeEntry& DeflateWalker::Lookup(const CodeTable& table) {
    const CodeEntry* entry = &table.entries[Peek(table.rootBits)];
    if (entry->op & kOpLink) {
        Drop(table.rootBits);
        entry = &table.entries[entry->value + Peek(entry->op & ~kOpLink)];
    }
    Drop(entry->bits);
    return *entry;
}

DeflateWalker::Walk DeflateWalker::Run(std::uint64_t startBit, std::uint64_t allowanceBits) {
    Walk walk;
    walk.startBit = startBit;
    walk.lastBlockEndBit = startBit;
    walk.priorBlockEndBit = startBit;
    const std::uint64_t limitBit = allowanceBits > std::numeric_limits<std::uint64_t>::max() - startBit
                                       ? std::numeric_limits<std::uint64_t>::max()
                                       : startBit + allowanceBits;
    Seek(startBit);
    for (;;) {
        const std::uint64_t blockStart = Position();
        Refill();
        blockOutput_ = 0;
        const bool final = Take(1) != 0;
        const unsigned type = Take(2);
        BlockResult result = BlockResult::Invalid;
        switch (type) {
            case 0: result = StoredBlock(); break;
            case 1:
                result = CodedBlock(tables_->fixedLiterals, tables_->fixedDistances, std::min(limitBit, endBit_));
                break;
            case 2:
                result = DynamicTables();
                if (result == BlockResult::Complete)
                    result = CodedBlock(tables_->literals, tables_->distances, std::min(limitBit, endBit_));
                break;
            default: break;  // type 3 is reserved
        }
        walk.stopBit = Position();
        if (result == BlockResult::Complete && Overrun()) result = BlockResult::Truncated;
        if (result == BlockResult::Invalid) {
            walk.outcome = Outcome::Invalid;
            return walk;
        }
        if (result == BlockResult::Truncated) {
            walk.outcome = walk.stopBit > limitBit && limitBit < endBit_ ? Outcome::Allowance : Outcome::Truncated;
            return walk;
        }
        const std::uint64_t length = walk.stopBit - blockStart;
        ++walk.completeBlocks;
        if (length >= minBlockBits_) ++walk.longBlocks;
        walk.priorBlockEndBit = walk.lastBlockEndBit;
        walk.lastBlockEndBit = walk.stopBit;
        walk.priorBlockEndOutput = walk.lastBlockEndOutput;
        walk.lastBlockEndOutput += blockOutput_;
        if (final) {
            walk.outcome = Outcome::StreamEnd;
            return walk;
        }
        if (walk.completeBlocks == 1 && length < minBlockBits_) {
            walk.outcome = Outcome::WeakStart;
            return walk;
        }
        if (walk.stopBit > limitBit) {
            walk.outcome = Outcome::Allowance;
            return walk;
        }
    }
}

DeflateWalker::BlockResult DeflateWalker::StoredBlock() {
    Drop(static_cast<unsigned>((8 - Position() % 8) % 8));
    const std::uint32_t length = Take(16);
    const std::uint32_t complement = Take(16);
    if (length != (~complement & 0xFFFF)) return BlockResult::Invalid;
    const std::uint64_t end = Position() + std::uint64_t{length} * 8;
    if (end > endBit_) return BlockResult::Truncated;
    blockOutput_ = length;
    Seek(end);
    return BlockResult::Complete;
}

DeflateWalker::BlockResult DeflateWalker::DynamicTables() {
    Refill();
    const unsigned literalCount = Take(5) + 257;
    const unsigned distanceCount = Take(5) + 1;
    const unsigned codeLengthCount = Take(4) + 4;
    if (literalCount > kMaxLiteralCodes || distanceCount > kMaxDistanceCodes) return BlockResult::Invalid;

    std::uint8_t codeLengthLengths[19] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i)
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(Take(3));
    Tables& t = *tables_;
    if (!BuildCodeTable(codeLengthLengths, 19, CodeKind::CodeLengths, deflate64::kCodeLengthRootBits, t.codeLengths))
        return BlockResult::Invalid;

    const unsigned total = literalCount + distanceCount;
    for (unsigned index = 0; index < total;) {
        if (available_ < 32) Refill();
        const CodeEntry& entry = Lookup(t.codeLengths);
        if (entry.op == kOpInvalid) return BlockResult::Invalid;
        const unsigned symbol = entry.value;
        if (symbol < 16) {
            t.lengths[index++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat = 0;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (index == 0) return BlockResult::Invalid;  // nothing to repeat
            value = t.lengths[index - 1];
            repeat = 3 + Take(2);
        } else if (symbol == 17) {
            repeat = 3 + Take(3);
        } else {
            repeat = 11 + Take(7);
        }
        if (index + repeat > total) return BlockResult::Invalid;
        std::fill_n(t.lengths + index, repeat, value);
        index += repeat;
    }
    if (Overrun()) return BlockResult::Truncated;
    if (t.lengths[256] == 0) return BlockResult::Invalid;  // a block needs its end mark
    if (!BuildCodeTable(t.lengths, literalCount, CodeKind::LiteralLengths, deflate64::kLiteralRootBits, t.literals))
        return BlockResult::Invalid;
    if (!BuildCodeTable(t.lengths + literalCount, distanceCount, CodeKind::Distances, deflate64::kDistanceRootBits,
                        t.distances))
        return BlockResult::Invalid;
    return BlockResult::Complete;
}

DeflateWalker::BlockResult DeflateWalker::CodedBlock(const CodeTable& literals, const CodeTable& distances,
                                                     std::uint64_t limitBit) {
    for (;;) {
        if (available_ < kSymbolBits) {
            if (Position() > limitBit) return BlockResult::Truncated;
            Refill();
        }
        const CodeEntry& symbol = Lookup(literals);
        if (symbol.op == kOpLiteral) {
            ++blockOutput_;
            continue;
        }
        if (symbol.op == kOpEndOfBlock) return BlockResult::Complete;
        if (symbol.op == kOpInvalid) return BlockResult::Invalid;
        if (symbol.op == kDeflate64LongLength) {
            blockOutput_ += kLongestMatch;
        } else {
            blockOutput_ += symbol.value + Peek(symbol.op);
            Drop(symbol.op);
        }
        const CodeEntry& distance = Lookup(distances);
        if (distance.op == kOpInvalid || distance.value > kMaxDistance) return BlockResult::Invalid;
        Drop(distance.op);
    }
}

}  // namespace tessaly
