#include "archive/methods/IsalInflater.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/methods/DeflateBlockHeader.h"
#include "archive/methods/ZlibInflater.h"

namespace tessaly {

namespace {
uInt Clamp(std::size_t n) { return static_cast<uInt>(std::min<std::size_t>(n, 0x7FFFFFFF)); }
}  // namespace

IsalInflater::IsalInflater() : recent_(kWindow) {
    if (inflateInit2(&zlib_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
}

IsalInflater::~IsalInflater() { inflateEnd(&zlib_); }

// The caller offers again the input not consumed, with more after it: only
// the bytes beyond those already held are new.
void IsalInflater::Absorb(const std::uint8_t* input, std::size_t inputSize) {
    const std::uint64_t heldEnd = heldStart_ + held_.size();
    const std::uint64_t known = heldEnd - callerAt_;
    if (known >= inputSize) return;
    if (engine_ == Engine::Isal && held_.size() + (inputSize - known) > kHeldLimit) BlockToZlib();
    if (engine_ == Engine::Zlib && zlibAt_ > 65536) {
        // zlib never goes back: only the bytes a block boundary may start in
        // (zlib holds fewer than 8 bits of them) are kept.
        const std::size_t drop = zlibAt_ - 8;
        held_.Drop(drop);
        heldStart_ += drop;
        zlibAt_ -= drop;
    }
    held_.Append(input + known, static_cast<std::size_t>(inputSize - known));
}

// The input taken so far. Inside a block ISA-L decodes, the bytes whose
// bits it has not used yet are not taken: the stream may end among them
// (kUntakenAtCut).
std::uint64_t IsalInflater::DecodedInputEnd() const {
    switch (engine_) {
        case Engine::Boundary: return heldStart_;  // the next block starts in it
        case Engine::Zlib:
        case Engine::Failed: return heldStart_ + zlibAt_;
        case Engine::Isal:
            return heldStart_ +
                   (std::uint64_t{isalAt_} * 8 - static_cast<std::uint64_t>(std::max(isal_->read_in_length, 0))) / 8;
        case Engine::Finished: break;
    }
    return finishedEnd_;
}

// The call ends: the ring takes the last of its output, and the history of
// a block still being decoded, if it lies in the caller's buffer, is copied.
void IsalInflater::EndCall(const std::uint8_t* output, std::size_t produced) {
    if (engine_ == Engine::Isal && blockHistory_ != blockHistoryCopy_.data()) {
        blockHistoryCopy_.assign(blockHistory_, blockHistory_ + kWindow);
        blockHistory_ = blockHistoryCopy_.data();
    }
    if (produced >= kWindow) {
        std::memcpy(recent_.data(), output + produced - kWindow, kWindow);
        recentAt_ = 0;
    } else {
        const std::size_t first = std::min(produced, kWindow - recentAt_);
        std::memcpy(recent_.data() + recentAt_, output, first);
        std::memcpy(recent_.data(), output + first, produced - first);
        recentAt_ = (recentAt_ + produced) % kWindow;
    }
    callOutput_ = nullptr;
    callProduced_ = 0;
}

// The current block's history is the kWindow bytes given before it: in the
// caller's buffer when this call gave that many, else the ring's last bytes
// followed by this call's, joined in blockHistoryCopy_.
void IsalInflater::TakeBlockHistory() {
    if (callProduced_ >= kWindow) {
        blockHistory_ = callOutput_ + callProduced_ - kWindow;
        return;
    }
    blockHistoryCopy_.resize(kWindow);
    std::uint8_t* joined = blockHistoryCopy_.data();
    // The ring's oldest bytes start at recentAt_; the last kWindow -
    // callProduced_ of them come first.
    const std::size_t fromRing = kWindow - callProduced_;
    const std::size_t ringStart = (recentAt_ + callProduced_) % kWindow;
    const std::size_t first = std::min(fromRing, kWindow - ringStart);
    std::memcpy(joined, recent_.data() + ringStart, first);
    std::memcpy(joined + first, recent_.data(), fromRing - first);
    if (callProduced_ != 0) std::memcpy(joined + fromRing, callOutput_, callProduced_);
    blockHistory_ = joined;
}

// The block that ended at bit `bitInHeld` of the held input is done; the
// next starts there.
void IsalInflater::NewBlockAt(std::uint64_t bitInHeld) {
    boundaries_.Note(heldStart_ * 8 + bitInHeld, output_);
    const std::size_t byte = static_cast<std::size_t>(bitInHeld / 8);
    held_.Drop(byte);
    heldStart_ += byte;
    blockBit_ = static_cast<unsigned>(bitInHeld % 8);
    zlibAt_ = zlibAt_ >= byte ? zlibAt_ - byte : 0;
    isalAt_ = 0;
    blockOutputStart_ = output_;
    engine_ = Engine::Boundary;
}

// Picks the decoder for the block starting at blockBit_ of held_[0]. A
// header not all there yet goes to zlib, which reads it as it comes (and
// refuses a bad one as soon as it can, as ZlibInflater does).
void IsalInflater::StartBlock() {
    const DeflateBlockHeader header = ReadDeflateBlockHeader(held_.data(), held_.size(), blockBit_);
    const bool isalSafe =
        header.clean && output_ >= kWindow &&
        (header.kind == DeflateBlockHeader::Kind::Dynamic || header.kind == DeflateBlockHeader::Kind::Stored);
    if (!isalSafe) {
        if (!zlibInSync_) {
            TakeBlockHistory();
            RestartZlib();
        }
        engine_ = Engine::Zlib;
        return;
    }
    TakeBlockHistory();
    blockFinal_ = header.final;
    StartIsal();
}

// ISA-L starts afresh at the block with the 32 KiB before it as its
// dictionary. The bits of the block's first byte are put in its bit buffer
// (read_in: the bits it holds of a stream that is not byte-aligned), with
// the block's final bit set, so that ISA-L stops where the block ends.
void IsalInflater::StartIsal() {
    if (!isal_) {
        isal_ = std::make_unique<inflate_state>();
        isal_inflate_init(isal_.get());
    } else {
        isal_inflate_reset(isal_.get());
    }
    isal_->crc_flag = ISAL_DEFLATE;
    isal_->hist_bits = 0;
    // ISA-L copies the dictionary; its parameter is not const only in name.
    isal_inflate_set_dict(isal_.get(), const_cast<std::uint8_t*>(blockHistory_), static_cast<std::uint32_t>(kWindow));
    isal_->read_in = (held_[0] >> blockBit_) | 1u;
    isal_->read_in_length = static_cast<std::int32_t>(8 - blockBit_);
    isalAt_ = 1;
    zlibInSync_ = false;
    engine_ = Engine::Isal;
}

// zlib starts afresh at the block: the output before it as its dictionary,
// the block's bits in the first byte primed.
void IsalInflater::RestartZlib() {
    inflateReset(&zlib_);
    inflateSetDictionary(&zlib_, blockHistory_, static_cast<uInt>(kWindow));
    zlibAt_ = 0;
    if (blockBit_ != 0) {
        inflatePrime(&zlib_, static_cast<int>(8 - blockBit_), held_[0] >> blockBit_);
        zlibAt_ = 1;
    }
    zlibInSync_ = true;
}

// The block ISA-L was decoding is decoded again by zlib from its start: the
// bytes already given are decoded to a scratch buffer, and zlib goes on
// from there.
bool IsalInflater::BlockToZlib() {
    RestartZlib();
    engine_ = Engine::Zlib;
    std::uint64_t skip = output_ - blockOutputStart_;
    std::uint8_t scratch[4096];
    while (skip > 0) {
        zlib_.next_in = held_.data() + zlibAt_;
        zlib_.avail_in = Clamp(held_.size() - zlibAt_);
        zlib_.next_out = scratch;
        zlib_.avail_out = static_cast<uInt>(std::min<std::uint64_t>(skip, sizeof scratch));
        const uInt givenIn = zlib_.avail_in;
        const uInt givenOut = zlib_.avail_out;
        const int result = inflate(&zlib_, Z_SYNC_FLUSH);
        zlibAt_ += givenIn - zlib_.avail_in;
        skip -= givenOut - zlib_.avail_out;
        if (skip > 0 && (result != Z_OK || givenOut == zlib_.avail_out)) {
            // ISA-L gave bytes zlib does not: not a case that occurs with the
            // blocks ISA-L is given, but the stream is called corrupt here.
            engine_ = Engine::Failed;
            return false;
        }
    }
    return true;
}

std::size_t IsalInflater::RunIsal(std::uint8_t* output, std::size_t outputSize) {
    inflate_state& state = *isal_;
    state.next_in = held_.data() + isalAt_;
    state.avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(held_.size() - isalAt_, UINT32_MAX));
    state.next_out = output;
    state.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(outputSize, UINT32_MAX));
    const std::uint32_t givenIn = state.avail_in;
    const std::uint32_t givenOut = state.avail_out;
    const int result = isal_inflate(&state);
    isalAt_ += givenIn - state.avail_in;
    const std::size_t produced = givenOut - state.avail_out;
    output_ += produced;
    isalOutput_ += produced;
    if (result < 0) {
        BlockToZlib();
        return produced;
    }
    if (state.block_state == ISAL_BLOCK_FINISH) {
        const std::uint64_t end = std::uint64_t{isalAt_} * 8 - static_cast<std::uint64_t>(state.read_in_length);
        if (blockFinal_) {
            engine_ = Engine::Finished;
            finishedEnd_ = heldStart_ + (end + 7) / 8;
        } else {
            NewBlockAt(end);
        }
    }
    return produced;
}

// zlib decodes up to the end of the block (Z_BLOCK), or on through every
// block (Z_SYNC_FLUSH) when the input has ended.
std::size_t IsalInflater::RunZlib(std::uint8_t* output, std::size_t outputSize, int flush) {
    zlib_.next_in = held_.data() + zlibAt_;
    zlib_.avail_in = Clamp(held_.size() - zlibAt_);
    zlib_.next_out = output;
    zlib_.avail_out = Clamp(outputSize);
    const uInt givenIn = zlib_.avail_in;
    const uInt givenOut = zlib_.avail_out;
    const int result = inflate(&zlib_, flush);
    zlibAt_ += givenIn - zlib_.avail_in;
    const std::size_t produced = givenOut - zlib_.avail_out;
    output_ += produced;
    switch (result) {
        case Z_STREAM_END:
            engine_ = Engine::Finished;
            finishedEnd_ = heldStart_ + zlibAt_;
            break;
        case Z_OK:
        case Z_BUF_ERROR:
            // No progress with input still there: not a stream zlib can go on with.
            if (result == Z_BUF_ERROR && zlib_.avail_in != 0) {
                engine_ = Engine::Failed;
            } else if (flush == Z_BLOCK && (zlib_.data_type & (128 | 64)) == (128 | 64)) {
                // Z_BLOCK stops after the last block too, before it says
                // the stream ended.
                engine_ = Engine::Finished;
                finishedEnd_ = heldStart_ + zlibAt_;
            } else if (flush == Z_BLOCK && (zlib_.data_type & 128) != 0) {
                NewBlockAt(std::uint64_t{zlibAt_} * 8 - static_cast<unsigned>(zlib_.data_type & 63));
            }
            break;
        default: engine_ = Engine::Failed; break;
    }
    return produced;
}

Decompressor::Step IsalInflater::Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                        std::size_t outputSize) {
    Absorb(input, inputSize);
    callOutput_ = output;
    Step step;
    while (step.produced < outputSize) {
        if (engine_ == Engine::Boundary) StartBlock();
        const Engine before = engine_;
        const std::size_t at = engine_ == Engine::Isal ? isalAt_ : zlibAt_;
        const std::uint64_t heldBefore = heldStart_;
        std::size_t got = 0;
        if (engine_ == Engine::Isal)
            got = RunIsal(output + step.produced, outputSize - step.produced);
        else if (engine_ == Engine::Zlib)
            got = RunZlib(output + step.produced, outputSize - step.produced, Z_BLOCK);
        step.produced += got;
        callProduced_ = step.produced;
        if (engine_ == Engine::Finished) {
            step.status = Status::StreamEnd;
            break;
        }
        if (engine_ == Engine::Failed) {
            step.status = Status::DataError;
            break;
        }
        const std::size_t after = engine_ == Engine::Isal ? isalAt_ : zlibAt_;
        if (got == 0 && engine_ == before && after == at && heldStart_ == heldBefore) {
            // ISA-L wants bits past the end of a stream that ends where its
            // input does: zlib finishes the last block, and sees it end.
            if (engine_ != Engine::Isal || !blockFinal_ || !BlockToZlib()) break;
        }
    }
    EndCall(output, step.produced);
    const std::uint64_t end = DecodedInputEnd();
    step.consumed = end > callerAt_ ? static_cast<std::size_t>(end - callerAt_) : 0;
    callerAt_ += step.consumed;
    return step;
}

// The input has ended inside the stream: zlib takes over where it is not
// already decoding (the block ISA-L was in is decoded again), decodes all
// that is held, and finds the tail, as ZlibInflater does.
std::optional<StreamBreak> IsalInflater::Break() const {
    if (engine_ != Engine::Failed) return std::nullopt;
    return boundaries_.Break();
}

std::size_t IsalInflater::DrainAtEnd(std::uint8_t* output, std::size_t outputSize) {
    if (!tail_.Found()) {
        if (engine_ == Engine::Isal) BlockToZlib();
        if (engine_ == Engine::Boundary) {
            if (!zlibInSync_) {
                TakeBlockHistory();
                RestartZlib();
            }
            engine_ = Engine::Zlib;
        }
        if (engine_ != Engine::Zlib) return 0;
        const std::size_t got = RunZlib(output, outputSize, Z_SYNC_FLUSH);
        if (got > 0 || engine_ != Engine::Zlib) return got;
        tail_.Find(zlib_);
    }
    return tail_.Deliver(output, outputSize);
}

}  // namespace tessaly
