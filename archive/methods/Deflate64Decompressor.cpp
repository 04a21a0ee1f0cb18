#include "archive/methods/Deflate64Decompressor.h"

#include <algorithm>
#include <cstring>

#include "archive/methods/CutMatch.h"

namespace tessaly {

using deflate64::CodeEntry;
using deflate64::CodeKind;
using deflate64::CodeTable;
using deflate64::kOpEndOfBlock;
using deflate64::kOpLink;
using deflate64::kOpLiteral;
using deflate64::kOpMaxExtra;

namespace {

constexpr unsigned kLongestMatch = 65538;
// The order in which the code-length code's lengths are sent.
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
// The fast loop reads 8 bytes at a time, twice per symbol.
constexpr std::ptrdiff_t kFastInput = 16;

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

// Copies a match that may overlap its own output. Writes up to 7 bytes past
// `length` when the distance allows whole words.
void CopyMatch(std::uint8_t* out, std::size_t distance, std::size_t length) {
    const std::uint8_t* from = out - distance;
    if (distance >= 8) {
        if (distance >= length && length > 64) {
            std::memcpy(out, from, length);
            return;
        }
        for (std::size_t i = 0; i < length; i += 8) std::memcpy(out + i, from + i, 8);
    } else if (distance == 1) {
        std::memset(out, *from, length);
    } else {
        for (std::size_t i = 0; i < length; ++i) out[i] = from[i];
    }
}

void BuildFixedTables(CodeTable& literals, CodeTable& distances) {
    std::uint8_t lengths[deflate64::kMaxSymbols];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    deflate64::BuildCodeTable(lengths, 288, CodeKind::LiteralLengths, deflate64::kLiteralRootBits, literals);
    std::fill(lengths, lengths + 32, 5);
    deflate64::BuildCodeTable(lengths, 32, CodeKind::Distances, deflate64::kDistanceRootBits, distances);
}

}  // namespace

Deflate64Decompressor::Deflate64Decompressor()
    : fixedLiterals_(std::make_unique<CodeTable>()),
      fixedDistances_(std::make_unique<CodeTable>()),
      dynamicLiterals_(std::make_unique<CodeTable>()),
      dynamicDistances_(std::make_unique<CodeTable>()),
      codeLengthCode_(std::make_unique<CodeTable>()),
      window_(new std::uint8_t[kWindowLimit + kSlack]) {
    BuildFixedTables(*fixedLiterals_, *fixedDistances_);
}

Decompressor::Step Deflate64Decompressor::Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                                 std::size_t outputSize) {
    in_ = input;
    inEnd_ = input + inputSize;
    inputStart_ = input;
    std::size_t produced = 0;
    for (;;) {
        produced += Deliver(output + produced, outputSize - produced);
        if (deliver_ != out_ || state_ == State::Finished || state_ == State::Failed) break;
        // With the output full, codes that give no bytes (the end of a block,
        // the next block's header) are still read, so that the end of the
        // stream is seen together with its last byte.
        const std::uint8_t* inBefore = in_;
        const std::size_t outBefore = out_;
        const State stateBefore = state_;
        Inflate(outputSize - produced);
        if (in_ == inBefore && out_ == outBefore && state_ == stateBefore) break;  // needs more input
    }
    Decompressor::Step step;
    step.consumed = static_cast<std::size_t>(in_ - input);
    inputBefore_ += step.consumed;
    step.produced = produced;
    if (deliver_ == out_ && state_ == State::Finished) step.status = Status::StreamEnd;
    if (deliver_ == out_ && state_ == State::Failed) step.status = Status::DataError;
    in_ = inEnd_ = nullptr;
    return step;
}

std::size_t Deflate64Decompressor::DrainAtEnd(std::uint8_t* output, std::size_t outputSize) {
    // Without input the state machine can only hand out what it holds and
    // finish a match it has read completely.
    const std::size_t n = Decode(nullptr, 0, output, outputSize).produced;
    if (n == outputSize || state_ != State::Distance || deliver_ != out_) return n;
    MakeRoom();  // leaves room for the longest match
    out_ += deflate64::DecidedMatchBytes(*distances_, bits_, bitCount_, window_.get(), out_, length_);
    state_ = State::Drained;
    return n + Deliver(output + n, outputSize - n);
}

std::size_t Deflate64Decompressor::Deliver(std::uint8_t* output, std::size_t size) {
    const std::size_t n = std::min(size, out_ - deliver_);
    if (n > 0) std::memcpy(output, window_.get() + deliver_, n);
    deliver_ += n;
    return n;
}

// Slides the window back when less than half the decoding room is left,
// keeping the history and whatever was not handed out yet.
void Deflate64Decompressor::MakeRoom() {
    if (kWindowLimit - out_ >= kDecodeRoom / 2) return;
    const std::size_t keepFrom = std::min(deliver_, out_ - std::min(out_, kHistory));
    if (keepFrom == 0) return;
    std::memmove(window_.get(), window_.get() + keepFrom, out_ - keepFrom);
    out_ -= keepFrom;
    outputMoved_ += keepFrom;
    deliver_ -= keepFrom;
}

void Deflate64Decompressor::Inflate(std::size_t wanted) {
    MakeRoom();
    const std::size_t goal = out_ + std::min(wanted, kWindowLimit - out_);
    while (Advance(goal)) {
    }
}

bool Deflate64Decompressor::Advance(std::size_t goal) {
    if (skipBits_ > 0) {
        if (!Need(skipBits_)) return false;
        DropBits(skipBits_);
        skipBits_ = 0;
    }
    if (state_ == State::BlockHeader) NoteBlockStart();
    switch (state_) {
        case State::BlockHeader: return BlockHeaderStep();
        case State::StoredHeader: return StoredHeaderStep();
        case State::StoredCopy: return StoredCopyStep(goal);
        case State::TableSizes: return TableSizesStep();
        case State::CodeLengthCode: return CodeLengthCodeStep();
        case State::CodeLengths: return CodeLengthsStep();
        case State::Symbols: return SymbolStep(goal);
        case State::Distance: return DistanceStep();
        case State::Copy: return CopyStep();
        case State::Finished:
        case State::Failed:
        case State::Drained: return false;
    }
    return false;
}

bool Deflate64Decompressor::PullByte() {
    if (in_ == inEnd_) return false;
    bits_ |= std::uint64_t{*in_++} << bitCount_;
    bitCount_ += 8;
    return true;
}

bool Deflate64Decompressor::Need(unsigned count) {
    while (bitCount_ < count)
        if (!PullByte()) return false;
    return true;
}

// The entry for the code at the front of the bits, taking bytes only while
// the bits held cannot tell which code it is. The bits not held yet read as
// zeros; an entry no longer than the bits held is therefore the true one.
bool Deflate64Decompressor::PeekCode(const CodeTable& table, CodeEntry& entry, unsigned& length) {
    for (;;) {
        entry = table.entries[PeekBits(table.rootBits)];
        length = entry.bits;
        if (entry.op & kOpLink) {
            const unsigned subBits = entry.op & ~kOpLink;
            entry = table.entries[entry.value + ((bits_ >> table.rootBits) & ((1u << subBits) - 1))];
            length = table.rootBits + entry.bits;
        }
        if (length <= bitCount_) return true;
        if (!PullByte()) return false;
    }
}

void Deflate64Decompressor::NoteBlockStart() {
    const std::uint64_t taken = inputBefore_ + static_cast<std::uint64_t>(in_ - inputStart_);
    trail_.Note(taken * 8 - bitCount_, outputMoved_ + out_ - primedBytes_);
}

std::optional<StreamBreak> Deflate64Decompressor::Break() const {
    if (state_ != State::Failed) return std::nullopt;
    return trail_.Break();
}

void Deflate64Decompressor::Prime(unsigned skipBits, std::uint8_t windowFill) {
    std::fill_n(window_.get(), kHistory, windowFill);
    out_ = deliver_ = primedBytes_ = kHistory;
    skipBits_ = skipBits;
}

void Deflate64Decompressor::EndBlock() { state_ = finalBlock_ ? State::Finished : State::BlockHeader; }

bool Deflate64Decompressor::BlockHeaderStep() {
    if (!Need(3)) return false;
    finalBlock_ = PeekBits(1) != 0;
    const unsigned type = PeekBits(3) >> 1;
    DropBits(3);
    switch (type) {
        case 0:
            DropBits(bitCount_ & 7);  // stored data starts at a byte boundary
            state_ = State::StoredHeader;
            break;
        case 1:
            literals_ = fixedLiterals_.get();
            distances_ = fixedDistances_.get();
            state_ = State::Symbols;
            break;
        case 2: state_ = State::TableSizes; break;
        default: state_ = State::Failed; break;
    }
    return true;
}

bool Deflate64Decompressor::StoredHeaderStep() {
    if (!Need(32)) return false;
    const std::uint32_t length = PeekBits(16);
    const std::uint32_t complement = PeekBits(32) >> 16;
    DropBits(32);
    if ((length ^ complement) != 0xFFFF) {
        state_ = State::Failed;
        return false;
    }
    storedLeft_ = length;
    state_ = State::StoredCopy;
    return true;
}

bool Deflate64Decompressor::StoredCopyStep(std::size_t goal) {
    // The bit buffer is empty here: the header ended on a byte boundary.
    const std::size_t n =
        std::min<std::size_t>({storedLeft_, static_cast<std::size_t>(inEnd_ - in_), goal > out_ ? goal - out_ : 0});
    if (n > 0) std::memcpy(window_.get() + out_, in_, n);
    in_ += n;
    out_ += n;
    storedLeft_ -= static_cast<std::uint32_t>(n);
    if (storedLeft_ == 0) {
        EndBlock();
        return true;
    }
    return false;
}

bool Deflate64Decompressor::TableSizesStep() {
    if (!Need(14)) return false;
    literalCount_ = PeekBits(5) + 257;
    distanceCount_ = (PeekBits(10) >> 5) + 1;
    lengthCodeCount_ = (PeekBits(14) >> 10) + 4;
    DropBits(14);
    if (literalCount_ > 286) {
        state_ = State::Failed;
        return false;
    }
    std::fill(std::begin(lengths_), std::end(lengths_), std::uint8_t{0});
    index_ = 0;
    state_ = State::CodeLengthCode;
    return true;
}

bool Deflate64Decompressor::CodeLengthCodeStep() {
    while (index_ < lengthCodeCount_) {
        if (!Need(3)) return false;
        lengths_[kCodeLengthOrder[index_++]] = static_cast<std::uint8_t>(PeekBits(3));
        DropBits(3);
    }
    if (!deflate64::BuildCodeTable(lengths_, 19, CodeKind::CodeLengths, deflate64::kCodeLengthRootBits,
                                   *codeLengthCode_)) {
        state_ = State::Failed;
        return false;
    }
    std::fill(std::begin(lengths_), std::end(lengths_), std::uint8_t{0});
    index_ = 0;
    state_ = State::CodeLengths;
    return true;
}

bool Deflate64Decompressor::CodeLengthsStep() {
    const unsigned total = literalCount_ + distanceCount_;
    while (index_ < total) {
        CodeEntry entry;
        unsigned length = 0;
        if (!PeekCode(*codeLengthCode_, entry, length)) return false;
        if (entry.op != 0) {
            state_ = State::Failed;
            return false;
        }
        if (entry.value < 16) {
            DropBits(length);
            lengths_[index_++] = static_cast<std::uint8_t>(entry.value);
            continue;
        }
        // 16 repeats the previous length 3-6 times, 17 and 18 give 3-10 and
        // 11-138 zeros.
        const unsigned extra = entry.value == 16 ? 2 : entry.value == 17 ? 3 : 7;
        const unsigned base = entry.value == 18 ? 11 : 3;
        if (!Need(length + extra)) return false;
        const unsigned repeat = base + (PeekBits(length + extra) >> length);
        DropBits(length + extra);
        if ((entry.value == 16 && index_ == 0) || repeat > total - index_) {
            state_ = State::Failed;
            return false;
        }
        const std::uint8_t value = entry.value == 16 ? lengths_[index_ - 1] : 0;
        std::fill_n(lengths_ + index_, repeat, value);
        index_ += repeat;
    }
    return FinishDynamicTables();
}

bool Deflate64Decompressor::FinishDynamicTables() {
    // A block without an end-of-block code could never end.
    const bool valid = lengths_[256] != 0 &&
                       deflate64::BuildCodeTable(lengths_, literalCount_, CodeKind::LiteralLengths,
                                                 deflate64::kLiteralRootBits, *dynamicLiterals_) &&
                       deflate64::BuildCodeTable(lengths_ + literalCount_, distanceCount_, CodeKind::Distances,
                                                 deflate64::kDistanceRootBits, *dynamicDistances_);
    if (!valid) {
        state_ = State::Failed;
        return false;
    }
    literals_ = dynamicLiterals_.get();
    distances_ = dynamicDistances_.get();
    state_ = State::Symbols;
    return true;
}

bool Deflate64Decompressor::SymbolStep(std::size_t goal) {
    if (inEnd_ - in_ >= kFastInput && out_ < goal) {
        const std::size_t outBefore = out_;
        FastSymbols(goal);
        if (out_ != outBefore || state_ != State::Symbols) return true;
    }
    CodeEntry entry;
    unsigned length = 0;
    if (!PeekCode(*literals_, entry, length)) return false;
    if (out_ >= goal && entry.op != kOpEndOfBlock) return false;
    if (entry.op == kOpLiteral) {
        DropBits(length);
        window_[out_++] = static_cast<std::uint8_t>(entry.value);
        return true;
    }
    if (entry.op == kOpEndOfBlock) {
        DropBits(length);
        EndBlock();
        return true;
    }
    if (entry.op > kOpMaxExtra) {
        state_ = State::Failed;
        return false;
    }
    if (!Need(length + entry.op)) return false;
    length_ = entry.value + (PeekBits(length + entry.op) >> length);
    DropBits(length + entry.op);
    state_ = State::Distance;
    return true;
}

bool Deflate64Decompressor::DistanceStep() {
    CodeEntry entry;
    unsigned length = 0;
    if (!PeekCode(*distances_, entry, length)) return false;
    if (entry.op > kOpMaxExtra) {
        state_ = State::Failed;
        return false;
    }
    if (!Need(length + entry.op)) return false;
    distance_ = entry.value + (PeekBits(length + entry.op) >> length);
    DropBits(length + entry.op);
    // The window holds every byte decoded so far, or the last 64 KiB of them.
    if (distance_ > out_) {
        state_ = State::Failed;
        return false;
    }
    state_ = State::Copy;
    return true;
}

bool Deflate64Decompressor::CopyStep() {
    const std::size_t n = std::min<std::size_t>(length_, kWindowLimit - out_);
    if (n == 0) return false;
    CopyMatch(window_.get() + out_, distance_, n);
    out_ += n;
    length_ -= static_cast<std::uint32_t>(n);
    if (length_ == 0) state_ = State::Symbols;
    return length_ == 0;
}

// The literal/length loop while at least 16 input bytes remain: the bit
// buffer is refilled 8 bytes at a time, and the whole bytes it holds on leaving
// are given back, so the careful path takes over exactly where this stops.
void Deflate64Decompressor::FastSymbols(std::size_t goal) {
    const CodeTable& literals = *literals_;
    const CodeTable& distances = *distances_;
    const std::uint64_t literalMask = (std::uint64_t{1} << literals.rootBits) - 1;
    const std::uint64_t distanceMask = (std::uint64_t{1} << distances.rootBits) - 1;
    const std::uint8_t* in = in_;
    const std::uint8_t* const inLast = inEnd_ - kFastInput;
    std::uint8_t* const window = window_.get();
    std::uint8_t* out = window + out_;
    std::uint8_t* const outGoal = window + goal;
    std::uint8_t* const outLimit = window + kWindowLimit;
    std::uint64_t bits = bits_;
    unsigned count = bitCount_;

    auto refill = [&] {
        bits |= LoadLittleEndian64(in) << count;
        in += (63 - count) >> 3;
        count |= 56;
    };
    auto lookup = [&](const CodeTable& table, std::uint64_t mask) {
        CodeEntry entry = table.entries[bits & mask];
        if (entry.op & kOpLink) {
            bits >>= table.rootBits;
            count -= table.rootBits;
            entry = table.entries[entry.value + (bits & ((1u << (entry.op & ~kOpLink)) - 1))];
        }
        bits >>= entry.bits;
        count -= entry.bits;
        return entry;
    };
    auto extraBits = [&](unsigned n) {
        const auto value = static_cast<std::uint32_t>(bits & ((std::uint64_t{1} << n) - 1));
        bits >>= n;
        count -= n;
        return value;
    };

    while (in <= inLast && out < outGoal) {
        refill();
        const CodeEntry symbol = lookup(literals, literalMask);
        if (symbol.op == kOpLiteral) {
            *out++ = static_cast<std::uint8_t>(symbol.value);
            continue;
        }
        if (symbol.op > kOpMaxExtra) {
            state_ = symbol.op == kOpEndOfBlock ? (finalBlock_ ? State::Finished : State::BlockHeader) : State::Failed;
            break;
        }
        const std::uint32_t length = symbol.value + extraBits(symbol.op);
        refill();
        const CodeEntry far = lookup(distances, distanceMask);
        if (far.op > kOpMaxExtra) {
            state_ = State::Failed;
            break;
        }
        const std::uint32_t distance = far.value + extraBits(far.op);
        if (distance > static_cast<std::size_t>(out - window)) {
            state_ = State::Failed;
            break;
        }
        if (length > static_cast<std::size_t>(outLimit - out)) {
            length_ = length;
            distance_ = distance;
            state_ = State::Copy;
            break;
        }
        CopyMatch(out, distance, length);
        out += length;
    }
    in -= count >> 3;
    count &= 7;
    in_ = in;
    bits_ = bits & ((std::uint64_t{1} << count) - 1);
    bitCount_ = count;
    out_ = static_cast<std::size_t>(out - window);
}

std::unique_ptr<Decompressor> MakeDeflate64Decompressor() { return std::make_unique<Deflate64Decompressor>(); }

}  // namespace tessaly
