#include "archive/methods/ZlibInflater.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <stdexcept>

namespace tessaly {

ZlibInflater::ZlibInflater() {
    stream_.zalloc = &ZlibInflater::Allocate;
    stream_.zfree = &ZlibInflater::Free;
    stream_.opaque = &zlibBlocks_;
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
    inflating_ = true;
}

ZlibInflater::~ZlibInflater() {
    if (inflating_) inflateEnd(&stream_);
    for (void* block : zlibBlocks_) std::free(block);
}

voidpf ZlibInflater::Allocate(voidpf opaque, uInt items, uInt size) {
    void* block = std::calloc(items, size);
    if (block != nullptr && opaque != nullptr) static_cast<std::list<void*>*>(opaque)->push_back(block);
    return block;
}

void ZlibInflater::Free(voidpf opaque, voidpf block) {
    if (opaque != nullptr) static_cast<std::list<void*>*>(opaque)->remove(block);
    std::free(block);
}

Decompressor::Step ZlibInflater::Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                                        std::size_t outputSize) {
    Step step;
    stream_.next_in = const_cast<Bytef*>(input);
    stream_.avail_in = static_cast<uInt>(std::min<std::size_t>(inputSize, 0x7FFFFFFF));
    stream_.next_out = output;
    stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(outputSize, 0x7FFFFFFF));
    const uInt givenIn = stream_.avail_in;
    const uInt givenOut = stream_.avail_out;
    while (stream_.avail_out > 0 && step.status == Status::Running) {
        const uInt before = stream_.avail_in + stream_.avail_out;
        // Z_BLOCK returns at every block boundary, so that a break can be
        // placed in the block it happened in.
        switch (inflate(&stream_, Z_BLOCK)) {
            case Z_OK: NoteBoundary(); break;
            case Z_STREAM_END: step.status = Status::StreamEnd; break;
            case Z_BUF_ERROR:
                // No progress was possible with input still there: the data
                // is not a stream zlib can go on with. Without input, more is
                // needed.
                if (stream_.avail_in != 0) step.status = Status::DataError;
                break;
            default:  // Z_NEED_DICT, Z_DATA_ERROR, Z_MEM_ERROR, Z_STREAM_ERROR
                step.status = Status::DataError;
                break;
        }
        if (stream_.avail_in + stream_.avail_out == before) break;
    }
    if (step.status == Status::DataError) broken_ = true;
    step.consumed = givenIn - stream_.avail_in;
    step.produced = givenOut - stream_.avail_out;
    return step;
}

namespace {
// zlib's data_type after a return: the unused bits of the last byte taken,
// and whether it stopped at a block boundary.
constexpr int kUnusedBitsMask = 7;
constexpr int kAtBoundaryFlag = 128;
}  // namespace

void ZlibInflater::NoteBoundary() {
    if ((stream_.data_type & kAtBoundaryFlag) == 0) return;
    trail_.Note(std::uint64_t{stream_.total_in} * 8 - (stream_.data_type & kUnusedBitsMask), stream_.total_out);
}

std::optional<StreamBreak> ZlibInflater::Break() const {
    if (!broken_) return std::nullopt;
    return trail_.Break();
}

namespace {
// Longer than the output of any one code (a match gives at most 258 bytes).
constexpr std::size_t kTailLimit = 1024;

// The output the inflater gives from `stream` once `fill` bytes follow the
// input, counting only codes that began in the real input; nothing when that
// continuation is not valid Deflate data (it cannot be what was cut off).
std::optional<std::vector<std::uint8_t>> TailWithFill(z_stream& stream, std::uint8_t fill) {
    std::vector<std::uint8_t> out;
    z_stream trial;
    if (inflateCopy(&trial, &stream) != Z_OK) return std::nullopt;
    bool valid = true;
    const std::uint64_t realBits = std::uint64_t{stream.total_in} * 8;
    std::uint8_t padding[8];
    std::fill(std::begin(padding), std::end(padding), fill);
    trial.next_in = padding;
    trial.avail_in = sizeof padding;
    while (out.size() < kTailLimit) {
        const long back = inflateMark(&trial) >> 16;  // bits of the current code already taken
        const std::uint64_t position = std::uint64_t{trial.total_in} * 8 - (trial.data_type & 63);
        if (back < 0 || position < static_cast<std::uint64_t>(back) ||
            position - static_cast<std::uint64_t>(back) >= realBits)
            break;  // between codes, or the code is made of the padding alone
        std::uint8_t byte = 0;
        trial.next_out = &byte;
        trial.avail_out = 1;
        const int result = inflate(&trial, Z_SYNC_FLUSH);
        valid = result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR;
        if (trial.avail_out != 0 || result != Z_OK) break;
        out.push_back(byte);
    }
    inflateEnd(&trial);
    if (!valid) return std::nullopt;
    return out;
}
}  // namespace

// A code whose first bits are in the input and whose last are not may still
// decide its output: a match whose distance bits are cut may copy bytes that
// are the same whatever those bits were. The input is continued with every
// byte value repeated (so every value of the next eight bits is tried); the
// continuations that are not valid Deflate data are dropped, and only the
// bytes every other one gives, from codes that began in the input, are kept.
std::vector<std::uint8_t> DeflateTail(z_stream& stream) {
    std::optional<std::vector<std::uint8_t>> common;
    for (unsigned fill = 0; fill < 256; ++fill) {
        const std::optional<std::vector<std::uint8_t>> out = TailWithFill(stream, static_cast<std::uint8_t>(fill));
        if (!out) continue;
        if (!common) {
            common = out;
            continue;
        }
        std::size_t k = 0;
        while (k < common->size() && k < out->size() && (*common)[k] == (*out)[k]) ++k;
        common->resize(k);
    }
    return common ? std::move(*common) : std::vector<std::uint8_t>{};
}

std::size_t DecidedTail::Deliver(std::uint8_t* output, std::size_t outputSize) {
    const std::size_t n = std::min(outputSize, bytes_.size() - delivered_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(delivered_), n, output);
    delivered_ += n;
    return n;
}

std::size_t ZlibInflater::DrainAtEnd(std::uint8_t* output, std::size_t outputSize) {
    if (!tail_.Found()) tail_.Find(stream_);
    return tail_.Deliver(output, outputSize);
}

}  // namespace tessaly
