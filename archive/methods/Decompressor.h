// One compressed stream being decoded: the common face of every compression
// method extraction can read (stored data needs none). The entry decoder
// reads the archive and feeds the input; a decompressor only turns bytes
// into bytes and says where its stream ends, which for every format with an
// end of its own is authoritative.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessaly {

// Where a block-structured stream broke. Damage inside a block can decode
// as valid symbols for a while before the decoder notices, so the bytes the
// damaged block produced before the error are not certain: only the output
// of the blocks before it is.
struct StreamBreak {
    std::uint64_t certainOutput = 0;  // output bytes known right
    std::uint64_t damagedBit = 0;     // input bit where the block that may be damaged begins
};

class Decompressor {
public:
    enum class Status {
        Running,    // more input or more output room is needed
        StreamEnd,  // the stream ended; nothing after it belongs to it
        DataError,  // the data is not a valid stream from here on
    };

    struct Step {
        std::size_t consumed = 0;  // input bytes used
        std::size_t produced = 0;  // output bytes written
        Status status = Status::Running;
    };

    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    virtual ~Decompressor() = default;

    // Decodes as much of `input` into `output` as fits. Input not consumed
    // is offered again, with more after it, on the next call.
    virtual Step Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                        std::size_t outputSize) = 0;

    // The input ended before the stream did: output that the bytes given so
    // far still decide, and only that (never a guess). Called until it
    // gives 0.
    virtual std::size_t DrainAtEnd(std::uint8_t* output, std::size_t outputSize) {
        (void)output;
        (void)outputSize;
        return 0;
    }

    // After DataError, from a decoder that can tell (raw Deflate): how much
    // of the output before the break is certainly right, and where, in the
    // input, the stretch that may be damaged begins.
    virtual std::optional<StreamBreak> Break() const { return std::nullopt; }

    // After DataError: why the stream cannot be read when the reason is not
    // plain corruption (a dictionary or window larger than this program
    // allows, for example); empty for corrupt data.
    virtual std::string ProblemText() const { return {}; }
};

// What a decompressor may need to know of its entry.
struct StreamParameters {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;                        // general-purpose flags (LZMA: bit 1, end marker present)
    std::optional<std::uint64_t> uncompressedSize;  // when the entry's sizes are known
};

// A decompressor for the entry's method, or nothing when this build has
// none for it (stored data is read without one).
std::unique_ptr<Decompressor> MakeDecompressor(const StreamParameters& parameters);

}  // namespace tessaly
