// Zstandard (ZIP method 93) through libzstd's streaming decoder, its window
// limited to the largest allowed dictionary. Further frames (and skippable
// frames) following at once belong to the same entry.
//
// Input is given no faster than the decoder asks for it, so one call decodes
// at most one block: when a block turns out corrupt, every byte of the
// blocks before it has been counted as output.
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <new>

#include "archive/methods/Decompressors.h"
#include "archive/methods/StreamSequence.h"

namespace tessaly {

namespace {

constexpr std::uint8_t kFrameMagic[] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr std::uint8_t kSkippableMagic[] = {0x50, 0x2A, 0x4D, 0x18};  // the low nibble of the first byte varies
constexpr std::size_t kMagicLength = 4;

int WindowLogLimit() {
    int log = 10;
    while ((std::uint64_t{1} << (log + 1)) <= kMaxDictionarySize) ++log;
    return log;
}

Follows FrameFollows(const std::uint8_t* bytes, std::size_t n) {
    const Follows frame = StartsWithMagic(bytes, n, kFrameMagic, kMagicLength);
    if (frame != Follows::No || n == 0) return frame;
    std::uint8_t start[kMagicLength];
    const std::size_t compared = std::min(n, kMagicLength);
    std::copy(bytes, bytes + compared, start);
    start[0] &= 0xF0;
    return StartsWithMagic(start, compared, kSkippableMagic, kMagicLength);
}

class ZstdDecompressor : public StreamSequenceDecompressor {
public:
    ZstdDecompressor() : context_(ZSTD_createDCtx()) {
        if (context_ == nullptr) throw std::bad_alloc();
        ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, WindowLogLimit());
    }
    ~ZstdDecompressor() override { ZSTD_freeDCtx(context_); }

    std::string ProblemText() const override { return problem_; }

private:
    Follows NextStreamFollows(const std::uint8_t* input, std::size_t n) override { return FrameFollows(input, n); }
    void Restart() override {}

    void DecodeSome(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize,
                    Step& step) override {
        ZSTD_inBuffer in{input + step.consumed, std::min(inputSize - step.consumed, wanted_), 0};
        ZSTD_outBuffer out{output + step.produced, outputSize - step.produced, 0};
        const std::size_t result = ZSTD_decompressStream(context_, &out, &in);
        step.consumed += in.pos;
        step.produced += out.pos;
        if (ZSTD_isError(result)) {
            if (ZSTD_getErrorCode(result) == ZSTD_error_frameParameter_windowTooLarge)
                problem_ = "Zstandard window too large (more than " + MebibyteText(kMaxDictionarySize) + ")";
            else if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation)
                problem_ = "not enough memory for the Zstandard window";
            step.status = Status::DataError;
        } else if (result == 0) {
            StreamEnded();
            wanted_ = kMagicLength;
        } else {
            wanted_ = result;
        }
    }

    ZSTD_DCtx* context_;
    std::size_t wanted_ = kMagicLength;  // input the decoder asked for
    std::string problem_;
};

}  // namespace

std::unique_ptr<Decompressor> MakeZstdDecompressor() { return std::make_unique<ZstdDecompressor>(); }

}  // namespace tessaly
