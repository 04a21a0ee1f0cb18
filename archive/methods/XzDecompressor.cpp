// XZ (ZIP method 95) through liblzma's .xz stream decoder, with its memory
// limited to what the largest allowed dictionary needs. Another .xz stream
// following at once belongs to the same entry.
#include <lzma.h>

#include <new>

#include "archive/methods/Decompressors.h"
#include "archive/methods/LzmaCode.h"
#include "archive/methods/StreamSequence.h"

namespace tessaly {

namespace {

constexpr std::uint8_t kStreamMagic[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
// The decoder's own needs beside the dictionary.
constexpr std::uint64_t kMemoryLimit = kMaxDictionarySize + (std::uint64_t{8} << 20);

class XzDecompressor : public StreamSequenceDecompressor {
public:
    XzDecompressor() { Open(); }
    ~XzDecompressor() override { lzma_end(&stream_); }

    std::string ProblemText() const override { return problem_; }

private:
    void Open() {
        if (lzma_stream_decoder(&stream_, kMemoryLimit, 0) != LZMA_OK) throw std::bad_alloc();
    }

    Follows NextStreamFollows(const std::uint8_t* input, std::size_t n) override {
        return StartsWithMagic(input, n, kStreamMagic, sizeof kStreamMagic);
    }
    void Restart() override { Open(); }

    void DecodeSome(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize,
                    Step& step) override {
        const lzma_ret result = RunLzmaCode(stream_, input, inputSize, output, outputSize, step);
        switch (result) {
            case LZMA_OK: break;
            case LZMA_BUF_ERROR: break;  // no progress: more input is needed
            case LZMA_STREAM_END: StreamEnded(); break;
            case LZMA_MEMLIMIT_ERROR:
                problem_ = "XZ dictionary too large (needs " + MebibyteText(lzma_memusage(&stream_)) + "; at most " +
                           MebibyteText(kMemoryLimit) + ")";
                step.status = Status::DataError;
                break;
            case LZMA_MEM_ERROR:
                problem_ = "not enough memory for the XZ stream";
                step.status = Status::DataError;
                break;
            case LZMA_OPTIONS_ERROR:
                problem_ = "XZ stream options not supported";
                step.status = Status::DataError;
                break;
            default:  // LZMA_FORMAT_ERROR, LZMA_DATA_ERROR, ...
                step.status = Status::DataError;
                break;
        }
    }

    lzma_stream stream_ = LZMA_STREAM_INIT;
    std::string problem_;
};

}  // namespace

std::unique_ptr<Decompressor> MakeXzDecompressor() { return std::make_unique<XzDecompressor>(); }

}  // namespace tessaly
