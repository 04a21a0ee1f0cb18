// Raw Deflate (ZIP method 8) through ISA-L where that gives exactly what
// zlib gives, and through zlib everywhere else.
//
// ISA-L decodes about two and a half times as fast as zlib, but it is not a
// byte-exact decoder of damaged streams: it takes some headers zlib refuses
// (incomplete codes), it writes the copy of a match whose distance reaches
// before the start of the output (or whose distance code is 30 or 31) before
// it reports the error, it decodes ahead into a buffer of its own and drops
// what it decoded there when it meets an error, and it stops a few bytes
// short of zlib when the input ends inside the stream. So ISA-L only ever
// decodes a block in which no error can happen:
//   - a dynamic block whose header zlib takes and whose two codes are
//     complete (every bit pattern is a valid symbol, DeflateBlockHeader.h),
//     or a stored block whose length checks,
//   - starting after the first 32 KiB of output, so that no distance can
//     reach before the start.
// Fixed blocks (which have the invalid symbols 286, 287, 30 and 31), blocks
// with a header zlib refuses or an incomplete code, blocks whose header is
// not all in the input yet, and the first 32 KiB (so every entry smaller
// than that) go to zlib; an entry that declares less than 32 KiB is not
// even given to this class (MakeDeflateDecompressor). ISA-L's state (85
// KiB) is made at the first block it takes. ISA-L is stopped at the end
// of each block (its header is given with the final bit set) so that the
// next header is read before either decoder sees it.
//
// The input of the block ISA-L is decoding is kept (with the 32 KiB of
// output before the block): when the input ends inside that block, the
// block is decoded again with zlib from its start, the bytes already given
// are skipped, and zlib goes on from there, so a cut stream gives exactly
// the bytes ZlibInflater gives, the tail DrainAtEnd finds included.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/methods/BlockTrail.h"
#include "archive/methods/ByteQueue.h"
#include "archive/methods/Decompressor.h"
#include "archive/methods/ZlibInflater.h"

struct inflate_state;

namespace tessaly {

class IsalInflater : public Decompressor {
public:
    IsalInflater();
    ~IsalInflater() override;

    Step Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                std::size_t outputSize) override;
    std::size_t DrainAtEnd(std::uint8_t* output, std::size_t outputSize) override;
    // Every block either decoder ended is noted, and a break is only ever
    // met by zlib: the answer is ZlibInflater's for the same stream.
    std::optional<StreamBreak> Break() const override;

    // The bytes of output ISA-L gave (for the tests: that it was used).
    std::uint64_t IsalOutput() const { return isalOutput_; }

    // No distance reaches further back than this.
    static constexpr std::size_t kWindow = 32768;
    // A stream cut inside a block ISA-L decodes may leave this many bytes
    // untaken at its input's end (ISA-L's look-ahead): they are held, and
    // DrainAtEnd decodes them.
    static constexpr std::size_t kUntakenAtCut = 8;
    // A block ISA-L decodes whose input grows past this is handed to zlib
    // there (no encoder writes such blocks; it bounds the input kept).
    static constexpr std::size_t kHeldLimit = std::size_t{4} << 20;

private:
    enum class Engine { Boundary, Zlib, Isal, Finished, Failed };

    void Absorb(const std::uint8_t* input, std::size_t inputSize);
    void StartBlock();
    void TakeBlockHistory();
    void StartIsal();
    void RestartZlib();
    std::size_t RunIsal(std::uint8_t* output, std::size_t outputSize);
    std::size_t RunZlib(std::uint8_t* output, std::size_t outputSize, int flush);
    bool BlockToZlib();
    void NewBlockAt(std::uint64_t bitInHeld);
    void EndCall(const std::uint8_t* output, std::size_t produced);
    std::uint64_t DecodedInputEnd() const;

    Engine engine_ = Engine::Boundary;
    z_stream zlib_{};
    bool zlibInSync_ = true;  // zlib's stream stands where the current block starts
    std::unique_ptr<inflate_state> isal_;
    bool blockFinal_ = false;

    // Input from the byte where the current block starts (zlib: from a few
    // bytes before the next it reads). held_[0] is byte heldStart_ of the
    // stream; the block starts at bit blockBit_ of it.
    ByteQueue held_;
    std::uint64_t heldStart_ = 0;
    unsigned blockBit_ = 0;
    std::size_t zlibAt_ = 0;         // next byte of held_ zlib reads
    std::size_t isalAt_ = 0;         // next byte of held_ ISA-L reads
    std::uint64_t callerAt_ = 0;     // the stream byte the caller's input starts with
    std::uint64_t finishedEnd_ = 0;  // the stream byte after the last, once it ended

    std::uint64_t output_ = 0;            // bytes given so far
    std::uint64_t blockOutputStart_ = 0;  // bytes given before the current block
    std::uint64_t isalOutput_ = 0;

    // The history a block starts with is the kWindow bytes given before it.
    // Those of earlier calls are kept as a ring (refreshed once per call);
    // those of the call under way are in the caller's buffer.
    std::vector<std::uint8_t> recent_;
    std::size_t recentAt_ = 0;
    const std::uint8_t* callOutput_ = nullptr;
    std::size_t callProduced_ = 0;
    // The current block's history: in the caller's buffer while the call it
    // started in lasts, else in blockHistoryCopy_.
    const std::uint8_t* blockHistory_ = nullptr;
    std::vector<std::uint8_t> blockHistoryCopy_;

    BlockTrail boundaries_;
    DecidedTail tail_;
};

}  // namespace tessaly
