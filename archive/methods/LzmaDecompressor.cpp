// LZMA (ZIP method 14) through liblzma's raw LZMA1 decoder. The entry's data
// starts with a 4-byte header (the writer's version, then the size of the
// properties, 5) and the 5 properties bytes; the LZMA1 stream follows. With
// general-purpose flag bit 1 the stream ends at its end marker; without it
// the uncompressed size says where it ends.
#include <lzma.h>

#include <algorithm>
#include <optional>

#include "archive/methods/Decompressors.h"
#include "archive/methods/LzmaCode.h"

namespace tessaly {

namespace {

constexpr std::uint16_t kFlagEndMarker = 0x0002;
constexpr std::size_t kZipHeaderLength = 4;
constexpr std::size_t kPropertiesLength = 5;
constexpr std::uint32_t kSmallestDictionary = 4096;

class LzmaDecompressor : public Decompressor {
public:
    explicit LzmaDecompressor(const StreamParameters& parameters) {
        endMarker_ = (parameters.flags & kFlagEndMarker) != 0 || !parameters.uncompressedSize;
        size_ = parameters.uncompressedSize;
    }
    ~LzmaDecompressor() override { lzma_end(&stream_); }

    Step Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                std::size_t outputSize) override {
        Step step;
        if (!started_) {
            if (inputSize < kZipHeaderLength + kPropertiesLength) return step;  // more is needed
            step.consumed = kZipHeaderLength + kPropertiesLength;
            if (!Start(input)) {
                step.status = Status::DataError;
                return step;
            }
        }
        const lzma_ret result = RunLzmaCode(stream_, input, inputSize, output, outputSize, step);
        switch (result) {
            case LZMA_OK: break;
            case LZMA_BUF_ERROR: break;  // no progress: more input is needed
            case LZMA_STREAM_END: step.status = Status::StreamEnd; break;
            case LZMA_MEM_ERROR:
                problem_ = "not enough memory for the LZMA dictionary";
                step.status = Status::DataError;
                break;
            default:  // LZMA_DATA_ERROR, LZMA_OPTIONS_ERROR, ...
                step.status = Status::DataError;
                break;
        }
        return step;
    }

    std::string ProblemText() const override { return problem_; }

private:
    // Reads the ZIP header and the properties and starts the decoder.
    bool Start(const std::uint8_t* header) {
        started_ = true;
        const unsigned propertiesLength = header[2] | header[3] << 8;
        if (propertiesLength != kPropertiesLength) {
            problem_ = "LZMA properties of " + std::to_string(propertiesLength) + " bytes are not supported";
            return false;
        }
        const std::uint8_t* properties = header + kZipHeaderLength;
        unsigned bits = properties[0];
        if (bits >= 9 * 5 * 5) return false;
        lzma_options_lzma options{};
        options.lc = bits % 9;
        bits /= 9;
        options.lp = bits % 5;
        options.pb = bits / 5;
        options.dict_size = static_cast<std::uint32_t>(properties[1] | properties[2] << 8 | properties[3] << 16 |
                                                       static_cast<std::uint32_t>(properties[4]) << 24);
        // Nothing lies further back than the entry's own size, so a
        // dictionary that size serves. With an end marker the stream, not
        // the declared size, ends the entry: there the size bounds only a
        // dictionary that would otherwise be refused.
        if (size_ && (!endMarker_ || options.dict_size > kMaxDictionarySize))
            options.dict_size = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(options.dict_size, std::max<std::uint64_t>(*size_, kSmallestDictionary)));
        if (options.dict_size > kMaxDictionarySize) {
            problem_ = "LZMA dictionary too large (" + MebibyteText(options.dict_size) + "; at most " +
                       MebibyteText(kMaxDictionarySize) + ")";
            return false;
        }
        options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        const std::uint64_t size = endMarker_ ? UINT64_MAX : *size_;
        options.ext_size_low = static_cast<std::uint32_t>(size);
        options.ext_size_high = static_cast<std::uint32_t>(size >> 32);
        const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        const lzma_ret result = lzma_raw_decoder(&stream_, filters);
        if (result == LZMA_OPTIONS_ERROR) problem_ = "LZMA properties not supported";
        if (result == LZMA_MEM_ERROR) problem_ = "not enough memory for the LZMA dictionary";
        return result == LZMA_OK;
    }

    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool started_ = false;
    bool endMarker_ = true;
    std::optional<std::uint64_t> size_;  // the declared uncompressed size
    std::string problem_;
};

}  // namespace

std::unique_ptr<Decompressor> MakeLzmaDecompressor(const StreamParameters& parameters) {
    return std::make_unique<LzmaDecompressor>(parameters);
}

}  // namespace tessaly
