#include "archive/EntryDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "archive/EntryDecryption.h"
#include "archive/ZipException.h"
#include "archive/ZipStorage.h"

namespace tessaly {

EntryDecoder::EntryDecoder(CZipStorage& storage) : storage_(storage) {}

EntryDecoder::~EntryDecoder() {
    End();
    for (void* block : zlibBlocks_) std::free(block);
}

voidpf EntryDecoder::Allocate(voidpf opaque, uInt items, uInt size) {
    void* block = std::calloc(items, size);
    if (block != nullptr && opaque != nullptr) static_cast<std::list<void*>*>(opaque)->push_back(block);
    return block;
}

void EntryDecoder::Free(voidpf opaque, voidpf block) {
    if (opaque != nullptr) static_cast<std::list<void*>*>(opaque)->remove(block);
    std::free(block);
}

void EntryDecoder::Begin(std::uint16_t method, std::uint64_t dataOffset, std::uint64_t storedLength) {
    End();
    decryption_ = nullptr;
    method_ = method;
    dataOffset_ = dataOffset;
    storedLeft_ = storedLength;
    fed_ = consumed_ = produced_ = 0;
    crc_ = 0;
    tail_.clear();
    tailDelivered_ = 0;
    tailFound_ = false;
    status_ = Status::Reading;
    storage_.Seek(dataOffset);
    if (method != zip::kMethodDeflated) return;

    input_.Allocate(kInputBufferSize);
    stream_ = z_stream{};
    stream_.zalloc = &EntryDecoder::Allocate;
    stream_.zfree = &EntryDecoder::Free;
    stream_.opaque = &zlibBlocks_;
    CheckZlibResult(inflateInit2(&stream_, -MAX_WBITS), storage_.Path());
    inflating_ = true;
}

void EntryDecoder::End() {
    if (inflating_) {
        inflateEnd(&stream_);
        inflating_ = false;
    }
    input_.Release();
}

std::size_t EntryDecoder::Read(std::uint8_t* buffer, std::size_t size, bool keepCrc) {
    if (status_ != Status::Reading || buffer == nullptr || size == 0) return 0;
    const std::size_t n = method_ == zip::kMethodDeflated ? ReadDeflated(buffer, size) : ReadStored(buffer, size);
    if (n > 0 && keepCrc) crc_ = static_cast<std::uint32_t>(::crc32(crc_, buffer, static_cast<uInt>(n)));
    produced_ += n;
    return n;
}

std::size_t EntryDecoder::ReadStored(std::uint8_t* buffer, std::size_t size) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(storedLeft_, size));
    const std::size_t got = want == 0 ? 0 : ReadInput(buffer, want);
    storedLeft_ -= got;
    consumed_ += got;
    if (storedLeft_ == 0)
        status_ = Status::Finished;
    else if (got < want)
        status_ = Status::Truncated;
    return got;
}

bool EntryDecoder::RefillInput() {
    // Read-ahead: the stream may run past the declared compressed size, so
    // input is read until the stream ends or the file does.
    const std::size_t got = ReadInput(input_.GetBuffer(), input_.GetSize());
    stream_.next_in = input_.GetBuffer();
    stream_.avail_in = static_cast<uInt>(got);
    fed_ += got;
    return got > 0;
}

// The entry's next bytes from the archive, decrypted when they are encrypted.
std::size_t EntryDecoder::ReadInput(std::uint8_t* buffer, std::size_t size) {
    const std::size_t got = storage_.file.Read(buffer, size);
    if (decryption_ != nullptr && got > 0) decryption_->Decrypt(buffer, got);
    return got;
}

std::size_t EntryDecoder::ReadDeflated(std::uint8_t* buffer, std::size_t size) {
    stream_.next_out = buffer;
    stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 0x7FFFFFFF));
    const uInt requested = stream_.avail_out;
    while (stream_.avail_out > 0 && status_ == Status::Reading) {
        if (stream_.avail_in == 0 && !RefillInput()) {
            // The input ends here: what the inflater can still give from the
            // bits it holds comes out before the entry is called truncated.
            if (!tailFound_) FindTail();
            const std::size_t n = DeliverTail(stream_.next_out, stream_.avail_out);
            stream_.next_out += n;
            stream_.avail_out -= static_cast<uInt>(n);
            if (tailDelivered_ == tail_.size()) status_ = Status::Truncated;
            break;
        }
        switch (inflate(&stream_, Z_SYNC_FLUSH)) {
            case Z_OK: break;
            case Z_STREAM_END: status_ = Status::Finished; break;
            case Z_BUF_ERROR:
                // No progress was possible with input still there: the data is
                // not a stream zlib can go on with.
                if (stream_.avail_in == 0) break;
                status_ = Status::DataError;
                break;
            default:  // Z_NEED_DICT, Z_DATA_ERROR, Z_MEM_ERROR, Z_STREAM_ERROR
                status_ = Status::DataError;
                break;
        }
    }
    consumed_ = fed_ - stream_.avail_in;
    // Free zlib's memory as soon as the stream can give nothing more.
    if (status_ != Status::Reading) End();
    return requested - stream_.avail_out;
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
void EntryDecoder::FindTail() {
    tailFound_ = true;
    tail_.clear();
    tailDelivered_ = 0;
    std::optional<std::vector<std::uint8_t>> common;
    for (unsigned fill = 0; fill < 256; ++fill) {
        const std::optional<std::vector<std::uint8_t>> out = TailWithFill(stream_, static_cast<std::uint8_t>(fill));
        if (!out) continue;
        if (!common) {
            common = out;
            continue;
        }
        std::size_t k = 0;
        while (k < common->size() && k < out->size() && (*common)[k] == (*out)[k]) ++k;
        common->resize(k);
    }
    if (common) tail_ = std::move(*common);
}

std::size_t EntryDecoder::DeliverTail(std::uint8_t* buffer, std::size_t size) {
    const std::size_t n = std::min(size, tail_.size() - tailDelivered_);
    std::copy(tail_.begin() + static_cast<std::ptrdiff_t>(tailDelivered_),
              tail_.begin() + static_cast<std::ptrdiff_t>(tailDelivered_ + n), buffer);
    tailDelivered_ += n;
    return n;
}

std::optional<zip::DataDescriptorRecord> EntryDecoder::ReadTrailingDescriptor(bool sizes64) {
    std::uint8_t bytes[4 + 20];
    const std::size_t fieldLength = sizes64 ? 20 : 12;
    // The descriptor's sizes count the encryption's framing too.
    const std::uint64_t before = decryption_ != nullptr ? decryption_->HeaderSize() : 0;
    const std::uint64_t after = decryption_ != nullptr ? decryption_->TrailerSize() : 0;
    storage_.Seek(dataOffset_ + consumed_ + after);
    const std::size_t got = storage_.file.Read(bytes, 4 + fieldLength);
    if (got >= 4 + fieldLength && zip::LoadU32(bytes) == zip::kDescriptorSignature)
        return zip::DecodeDescriptorFields(bytes + 4, sizes64);
    if (got < fieldLength) return std::nullopt;
    const zip::DataDescriptorRecord record = zip::DecodeDescriptorFields(bytes, sizes64);
    const std::uint64_t packed = before + consumed_ + after;
    const std::uint64_t expected = sizes64 ? packed : (packed & 0xFFFFFFFFu);
    if (record.compressedSize != expected) return std::nullopt;
    return record;
}

}  // namespace tessaly
