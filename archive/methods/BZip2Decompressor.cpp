// BZip2 (ZIP method 12) through libbz2. A stream ends at its end-of-stream
// mark; another stream following at once (as parallel compressors write
// them) belongs to the same entry. Output comes a whole block at a time, so
// a cut or corrupt block costs that block, never the ones before it.
#include <bzlib.h>

#include <algorithm>
#include <climits>
#include <new>

#include "archive/methods/Decompressors.h"
#include "archive/methods/StreamSequence.h"

namespace tessaly {

namespace {

// "BZh", the block size digit, then the magic of a block or of the end of
// an empty stream.
constexpr std::size_t kStreamStartLength = 10;

Follows StreamFollows(const std::uint8_t* bytes, std::size_t n) {
    static const std::uint8_t kBlock[] = {'B', 'Z', 'h', '1', 0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
    static const std::uint8_t kEnd[] = {'B', 'Z', 'h', '1', 0x17, 0x72, 0x45, 0x38, 0x50, 0x90};
    if (n >= 4 && (bytes[3] < '1' || bytes[3] > '9')) return Follows::No;
    std::uint8_t start[kStreamStartLength];
    const std::size_t compared = std::min(n, kStreamStartLength);
    std::copy(bytes, bytes + compared, start);
    if (compared >= 4) start[3] = '1';  // any block size
    const Follows block = StartsWithMagic(start, compared, kBlock, sizeof kBlock);
    return block != Follows::No ? block : StartsWithMagic(start, compared, kEnd, sizeof kEnd);
}

class BZip2Decompressor : public StreamSequenceDecompressor {
public:
    BZip2Decompressor() { Open(); }
    ~BZip2Decompressor() override { Close(); }

    std::string ProblemText() const override { return problem_; }

private:
    void Open() {
        stream_ = bz_stream{};
        if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) throw std::bad_alloc();
        open_ = true;
    }

    void Close() {
        if (open_) BZ2_bzDecompressEnd(&stream_);
        open_ = false;
    }

    Follows NextStreamFollows(const std::uint8_t* input, std::size_t n) override { return StreamFollows(input, n); }
    void Restart() override {
        Close();
        Open();
    }

    void DecodeSome(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output, std::size_t outputSize,
                    Step& step) override {
        stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(input + step.consumed));
        stream_.avail_in = static_cast<unsigned>(std::min<std::size_t>(inputSize - step.consumed, UINT_MAX));
        stream_.next_out = reinterpret_cast<char*>(output + step.produced);
        stream_.avail_out = static_cast<unsigned>(std::min<std::size_t>(outputSize - step.produced, UINT_MAX));
        const unsigned givenIn = stream_.avail_in;
        const unsigned givenOut = stream_.avail_out;
        const int result = BZ2_bzDecompress(&stream_);
        step.consumed += givenIn - stream_.avail_in;
        step.produced += givenOut - stream_.avail_out;
        if (result == BZ_STREAM_END) {
            StreamEnded();
        } else if (result != BZ_OK) {
            // The data is not corrupt when the decoder only lacked memory.
            if (result == BZ_MEM_ERROR) problem_ = "not enough memory for the BZip2 block";
            step.status = Status::DataError;  // BZ_DATA_ERROR, BZ_DATA_ERROR_MAGIC, BZ_MEM_ERROR
        }
    }

    bz_stream stream_{};
    bool open_ = false;
    std::string problem_;
};

}  // namespace

std::unique_ptr<Decompressor> MakeBZip2Decompressor() { return std::make_unique<BZip2Decompressor>(); }

}  // namespace tessaly
