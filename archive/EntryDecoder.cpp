#include "archive/EntryDecoder.h"

#include <algorithm>
#include <cstring>

#include "archive/BufferSizes.h"
#include "archive/CompressionMethods.h"
#include "archive/Crc32.h"
#include "archive/ZipException.h"
#include "archive/ZipStorage.h"
#include "archive/crypto/EntryDecryption.h"

namespace tessaly {

EntryDecoder::EntryDecoder(CZipStorage& storage) : storage_(storage) {}

EntryDecoder::~EntryDecoder() { End(); }

void EntryDecoder::Begin(std::uint16_t method, std::uint64_t dataOffset, std::uint64_t length) {
    StreamParameters stream;
    stream.method = method;
    Begin(stream, dataOffset, length);
}

void EntryDecoder::Begin(const StreamParameters& stream, std::uint64_t dataOffset, std::uint64_t length) {
    End();
    decryption_ = nullptr;
    method_ = stream.method;
    dataOffset_ = dataOffset;
    declaredLeft_ = length;
    outputLimit_ = UINT64_MAX;
    if (stream.uncompressedSize)
        outputLimit_ = *stream.uncompressedSize + std::max(*stream.uncompressedSize, kRunOnAllowance);
    consumed_ = produced_ = 0;
    crc_ = 0;
    problem_.clear();
    break_.reset();
    inputStart_ = inputEnd_ = 0;
    inputEnded_ = false;
    status_ = Status::Reading;
    storage_.Seek(dataOffset);
    if (method_ == zip::kMethodStored) return;

    decompressor_ = MakeDecompressor(stream);
    if (!decompressor_) {
        // Nothing was read: the entry is not whole, whoever looks next.
        status_ = Status::DataError;
        problem_ = UnsupportedMethodText(method_);
        ThrowArchiveError(badArchive, storage_.Path(), dataOffset, UnsupportedMethodText(method_));
    }
    input_.Allocate(static_cast<std::uint32_t>(CurrentBufferSizes().decoderInput));
}

void EntryDecoder::End() {
    decompressor_.reset();
    input_.Release();
}

std::size_t EntryDecoder::Read(std::uint8_t* buffer, std::size_t size, bool keepCrc) {
    if (status_ != Status::Reading || buffer == nullptr || size == 0) return 0;
    const std::size_t n = method_ == zip::kMethodStored ? ReadStored(buffer, size) : ReadUpToLimit(buffer, size);
    if (n > 0 && keepCrc) crc_ = UpdateCrc32(crc_, buffer, n);
    produced_ += n;
    return n;
}

// Stored data never expands; only the size limit can stop it.
std::size_t EntryDecoder::ReadStored(std::uint8_t* buffer, std::size_t size) {
    const std::uint64_t room = limits_.size - std::min(produced_, limits_.size);
    const std::size_t want = static_cast<std::size_t>(std::min({declaredLeft_, room, std::uint64_t{size}}));
    const std::size_t got = want == 0 ? 0 : ReadInput(buffer, want);
    declaredLeft_ -= got;
    consumed_ += got;
    if (declaredLeft_ == 0)
        status_ = Status::Finished;
    else if (got < want)
        status_ = Status::Truncated;
    else if (got < size)
        StopAtLimit(limits_.size);  // the room ran out with data left
    return got;
}

// Read-ahead: the stream may run past the declared compressed size, so input
// is read until the stream ends or the file does. While the declared length
// lasts no more than it is read (kSmallestRead at least): a small entry then
// costs a small read, not a buffer full of the entries after it. Bytes the
// decompressor left unconsumed (it wants more after them) move to the front
// first.
void EntryDecoder::RefillInput() {
    std::uint8_t* block = input_.GetBuffer();
    const std::size_t kept = inputEnd_ - inputStart_;
    if (kept > 0 && inputStart_ > 0) std::memmove(block, block + inputStart_, kept);
    inputStart_ = 0;
    inputEnd_ = kept;
    const std::size_t room = input_.GetSize() - kept;
    std::size_t want = room;
    if (declaredLeft_ > 0)
        want = static_cast<std::size_t>(
            std::min<std::uint64_t>(room, std::max<std::uint64_t>(declaredLeft_, kSmallestRead)));
    const std::size_t got = want == 0 ? 0 : ReadInput(block + kept, want);
    declaredLeft_ -= std::min<std::uint64_t>(declaredLeft_, got);
    inputEnd_ += got;
    if (got < want) inputEnded_ = true;
}

// A buffer made smaller than the default (BufferSizes.h) can be too small
// for what a decompressor must see at once before it takes any of it (the
// 9 bytes of an LZMA header, the magic of a stream that may follow): it
// grows towards the default size, keeping its bytes, and reads more. At the
// default size the buffer never grows.
void EntryDecoder::GrowInput() {
    const std::size_t kept = inputEnd_ - inputStart_;
    CAutoBuffer larger(static_cast<std::uint32_t>(std::min<std::size_t>(2 * input_.GetSize(), kInputBufferSize)));
    std::memcpy(larger.GetBuffer(), input_.GetBuffer() + inputStart_, kept);
    input_ = std::move(larger);
    inputStart_ = 0;
    inputEnd_ = kept;
    RefillInput();
}

// Output goes up to the entry's allowance (OutputAllowance). There one byte
// more is asked for: a stream that ends right there is whole, one that has
// more is stopped, and that byte is not delivered. A byte whose input
// raised the allowance (compressed bytes read for it count) is delivered.
std::size_t EntryDecoder::ReadUpToLimit(std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size && status_ == Status::Reading) {
        const std::uint64_t reached = produced_ + done;
        const std::uint64_t allowance = OutputAllowance();
        if (reached < allowance) {
            const std::uint64_t room = allowance - reached;
            done += ReadCompressed(buffer + done, static_cast<std::size_t>(std::min<std::uint64_t>(size - done, room)));
        } else if (ReadCompressed(buffer + done, 1) == 1) {
            if (OutputAllowance() > reached)
                ++done;
            else
                StopAtLimit(allowance);
        }
    }
    return done;
}

// What the entry may expand to with the compressed bytes read so far: a
// stream that runs on to twice its declared size (or the run-on allowance
// past it) is called corrupt; the expansion limits apply to every stream.
std::uint64_t EntryDecoder::OutputAllowance() const {
    const std::uint64_t byRatio =
        consumed_ != 0 && limits_.ratio > UINT64_MAX / consumed_ ? UINT64_MAX : limits_.ratio * consumed_;
    return std::min({outputLimit_, limits_.size, std::max(byRatio, limits_.ratioFreeSize)});
}

void EntryDecoder::StopAtLimit(std::uint64_t allowance) {
    const std::string stopped = "stopped after " + std::to_string(allowance) + " bytes";
    if (method_ != zip::kMethodStored && allowance == outputLimit_) {
        status_ = Status::DataError;
        problem_ = "data runs on far past the declared size; " + stopped;
    } else if (allowance == limits_.size) {
        status_ = Status::Limited;
        problem_ = "size limit reached: " + stopped;
    } else {
        status_ = Status::Limited;
        problem_ = "expansion limit reached: " + std::to_string(allowance) + " bytes from " +
                   std::to_string(consumed_) + " compressed bytes, more than " + std::to_string(limits_.ratio) +
                   " times as many; stopped there";
    }
    End();
}

std::size_t EntryDecoder::ReadCompressed(std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size && status_ == Status::Reading) {
        if (inputStart_ == inputEnd_ && !inputEnded_) RefillInput();
        const Decompressor::Step step = decompressor_->Decode(input_.GetBuffer() + inputStart_, inputEnd_ - inputStart_,
                                                              buffer + done, size - done);
        inputStart_ += step.consumed;
        consumed_ += step.consumed;
        done += step.produced;
        if (step.status == Decompressor::Status::StreamEnd) {
            status_ = Status::Finished;
        } else if (step.status == Decompressor::Status::DataError) {
            status_ = Status::DataError;
            problem_ = decompressor_->ProblemText();
            break_ = decompressor_->Break();
        } else if (step.consumed == 0 && step.produced == 0) {
            // The decompressor needs more input than it holds.
            if (inputEnded_) {
                done += DrainAtEnd(buffer + done, size - done);
                break;
            }
            if (inputEnd_ - inputStart_ < input_.GetSize())
                RefillInput();
            else if (input_.GetSize() < kInputBufferSize)
                GrowInput();
            else
                status_ = Status::DataError;  // a whole block of input gave nothing
        }
    }
    // Free the decompressor's memory as soon as the stream can give nothing more.
    if (status_ != Status::Reading) End();
    return done;
}

// The input ends here: what the decompressor can still give from the bytes
// it holds comes out before the entry is called truncated.
std::size_t EntryDecoder::DrainAtEnd(std::uint8_t* buffer, std::size_t size) {
    const std::size_t n = decompressor_->DrainAtEnd(buffer, size);
    if (n < size) status_ = Status::Truncated;
    return n;
}

// The entry's next bytes from the archive, decrypted when they are encrypted.
std::size_t EntryDecoder::ReadInput(std::uint8_t* buffer, std::size_t size) {
    const std::size_t got = storage_.file.Read(buffer, size);
    if (decryption_ != nullptr && got > 0) decryption_->Decrypt(buffer, got);
    return got;
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
