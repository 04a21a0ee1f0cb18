#include "archive/EntryDecoder.h"

#include <algorithm>
#include <cstdlib>

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
    method_ = method;
    dataOffset_ = dataOffset;
    storedLeft_ = storedLength;
    fed_ = consumed_ = produced_ = 0;
    crc_ = 0;
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
    const std::size_t got = want == 0 ? 0 : storage_.file.Read(buffer, want);
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
    const std::size_t got = storage_.file.Read(input_.GetBuffer(), input_.GetSize());
    stream_.next_in = input_.GetBuffer();
    stream_.avail_in = static_cast<uInt>(got);
    fed_ += got;
    return got > 0;
}

std::size_t EntryDecoder::ReadDeflated(std::uint8_t* buffer, std::size_t size) {
    stream_.next_out = buffer;
    stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 0x7FFFFFFF));
    const uInt requested = stream_.avail_out;
    while (stream_.avail_out > 0 && status_ == Status::Reading) {
        if (stream_.avail_in == 0 && !RefillInput()) {
            status_ = Status::Truncated;
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

std::optional<zip::DataDescriptorRecord> EntryDecoder::ReadTrailingDescriptor(bool sizes64) {
    std::uint8_t bytes[4 + 20];
    const std::size_t fieldLength = sizes64 ? 20 : 12;
    storage_.Seek(dataOffset_ + consumed_);
    const std::size_t got = storage_.file.Read(bytes, 4 + fieldLength);
    if (got >= 4 + fieldLength && zip::LoadU32(bytes) == zip::kDescriptorSignature)
        return zip::DecodeDescriptorFields(bytes + 4, sizes64);
    if (got < fieldLength) return std::nullopt;
    const zip::DataDescriptorRecord record = zip::DecodeDescriptorFields(bytes, sizes64);
    const std::uint64_t expected = sizes64 ? consumed_ : (consumed_ & 0xFFFFFFFFu);
    if (record.compressedSize != expected) return std::nullopt;
    return record;
}

}  // namespace tessaly
