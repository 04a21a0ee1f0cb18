// The decoder for ZIP method 9, Deflate64: Deflate with a 64 KiB window,
// length symbol 285 carrying 16 extra bits (lengths up to 65538) and the
// distance symbols 30 and 31 (distances up to 65536).
//
// Fully streaming: input and output may come in pieces of any size, and the
// decoder resumes anywhere, inside a block header, a code, its extra bits or
// a stored block. It takes no byte after the final block. Bytes are decoded
// into its own window first and handed out from there; a stream found
// invalid gives every byte decoded before the fault, then DataError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/methods/BlockTrail.h"
#include "archive/methods/Decompressor.h"
#include "archive/methods/PrefixCode.h"

namespace tessaly {

class Deflate64Decompressor final : public Decompressor {
public:
    Deflate64Decompressor();

    Step Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                std::size_t outputSize) override;
    // Hands out what was decoded and not yet taken, the rest of a match
    // whose length and distance were complete, and of a match whose distance
    // was cut, the bytes that every distance its bits still allow would copy.
    std::size_t DrainAtEnd(std::uint8_t* output, std::size_t outputSize) override;
    std::optional<StreamBreak> Break() const override;

    // Starts the stream `skipBits` bits into the first byte given, with the
    // 64 KiB before it taken to be all `windowFill`: matches reaching into
    // that unknown past decode to the fill byte instead of failing. Call
    // before the first Decode.
    void Prime(unsigned skipBits, std::uint8_t windowFill);

    // The window: 64 KiB of history, room to decode ahead, and slack for
    // match copies that write whole 8-byte words past their end.
    static constexpr std::size_t kHistory = 65536;
    static constexpr std::size_t kDecodeRoom = 256 * 1024;
    static constexpr std::size_t kWindowLimit = kHistory + kDecodeRoom;
    static constexpr std::size_t kSlack = 64;

private:
    enum class State {
        BlockHeader,
        StoredHeader,  // LEN and NLEN, from a byte boundary
        StoredCopy,
        TableSizes,      // HLIT, HDIST, HCLEN
        CodeLengthCode,  // the 3-bit lengths of the code-length code
        CodeLengths,     // the literal/length and distance code lengths
        Symbols,         // a literal, the end of the block, or a length
        Distance,        // the distance of a match whose length is known
        Copy,            // the rest of a match that did not fit the window
        Finished,
        Failed,
        Drained,  // the input ended; the decided bytes of a cut match were added
    };

    void Inflate(std::size_t wanted);
    bool Advance(std::size_t goal);  // one step of the state machine; false when blocked
    bool BlockHeaderStep();
    bool StoredHeaderStep();
    bool StoredCopyStep(std::size_t goal);
    bool TableSizesStep();
    bool CodeLengthCodeStep();
    bool CodeLengthsStep();
    bool FinishDynamicTables();
    bool SymbolStep(std::size_t goal);
    bool DistanceStep();
    bool CopyStep();
    void FastSymbols(std::size_t goal);
    void EndBlock();
    void NoteBlockStart();
    void MakeRoom();
    std::size_t Deliver(std::uint8_t* output, std::size_t size);

    // Bits, least significant first, taken a byte at a time in the careful
    // path so that no byte is taken before a code needs it.
    bool Need(unsigned count);
    bool PullByte();
    std::uint32_t PeekBits(unsigned count) const {
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
    }
    void DropBits(unsigned count) {
        bits_ >>= count;
        bitCount_ -= count;
    }
    bool PeekCode(const deflate64::CodeTable& table, deflate64::CodeEntry& entry, unsigned& length);

    const std::uint8_t* in_ = nullptr;
    const std::uint8_t* inEnd_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned bitCount_ = 0;

    State state_ = State::BlockHeader;
    bool finalBlock_ = false;
    std::uint32_t storedLeft_ = 0;
    std::uint32_t length_ = 0;      // of the match being copied
    std::uint32_t distance_ = 0;    // of the match being read or copied
    unsigned literalCount_ = 0;     // HLIT
    unsigned distanceCount_ = 0;    // HDIST
    unsigned lengthCodeCount_ = 0;  // HCLEN
    unsigned index_ = 0;            // next code length to read
    std::uint8_t lengths_[deflate64::kMaxSymbols + 32] = {};

    const deflate64::CodeTable* literals_ = nullptr;
    const deflate64::CodeTable* distances_ = nullptr;
    std::unique_ptr<deflate64::CodeTable> fixedLiterals_;
    std::unique_ptr<deflate64::CodeTable> fixedDistances_;
    std::unique_ptr<deflate64::CodeTable> dynamicLiterals_;
    std::unique_ptr<deflate64::CodeTable> dynamicDistances_;
    std::unique_ptr<deflate64::CodeTable> codeLengthCode_;

    std::unique_ptr<std::uint8_t[]> window_;
    std::size_t out_ = 0;      // where the next decoded byte goes in the window
    std::size_t deliver_ = 0;  // the first decoded byte not yet handed out

    // Where blocks began, for Break: input taken before this Decode call,
    // where this call's input began, and the output moved out of the window.
    BlockTrail trail_;
    std::uint64_t inputBefore_ = 0;
    const std::uint8_t* inputStart_ = nullptr;
    std::uint64_t outputMoved_ = 0;
    std::size_t primedBytes_ = 0;  // the fill Prime put before the stream's output
    unsigned skipBits_ = 0;
};

std::unique_ptr<Decompressor> MakeDeflate64Decompressor();

}  // namespace tessaly
