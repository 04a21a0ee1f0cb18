// A small Deflate64 encoder for tests and benchmarks: fixed-Huffman and
// stored blocks only, written symbol by symbol so that a test can place any
// literal, match, block header or raw bits it wants (damage included), plus a
// greedy whole-buffer compressor built on it. In `deflate` mode it writes
// plain Deflate instead (length 258 as symbol 285, distances up to 32 KiB),
// for comparing against zlib on the same kind of stream.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

class Deflate64Writer {
public:
    explicit Deflate64Writer(bool deflate = false) : deflate_(deflate) {}

    void Bits(std::uint32_t value, unsigned count);  // least significant bit first
    void FixedBlock(bool final);                     // a block header with type 1
    void FixedSymbol(unsigned symbol);               // a literal/length symbol of the fixed code (0..287)
    void Literal(std::uint8_t byte);
    void Match(std::uint32_t length, std::uint32_t distance);  // 3..65538, 1..65536
    void EndOfBlock();
    void StoredBlock(const Bytes& data, bool final);  // up to 65535 bytes
    std::size_t BitCount() const { return out_.size() * 8 + count_; }
    // Pads the last byte with zeros and returns the stream.
    Bytes Finish();

private:
    void Code(std::uint32_t code, unsigned length);  // most significant bit first

    bool deflate_;
    Bytes out_;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
};

struct Deflate64Options {
    bool deflate = false;                               // plain Deflate: lengths <= 258, distances <= 32768
    std::size_t blockSymbols = 1 << 16;                 // symbols per fixed block
    std::vector<std::uint64_t>* blockStarts = nullptr;  // when given, gets the bit where each block begins
};

// Greedy LZ77 (hash chains) of `data` in fixed-Huffman blocks.
Bytes CompressDeflate64(const Bytes& data, const Deflate64Options& options = {});

}  // namespace tessaly::testzip
