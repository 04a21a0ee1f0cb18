// Reads one opened entry's data: stored bytes copied as they are, or a
// compressed stream fed through the decompressor of its method. For
// compressed data the stream's own end decides where the entry ends; the
// declared compressed size does not cut it short and cannot add bytes.
// Keeps the running CRC-32 of the output, and stops an entry at its
// expansion limits (ExpansionLimits.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/AutoBuffer.h"
#include "archive/ExpansionLimits.h"
#include "archive/ZipRecords.h"
#include "archive/methods/Decompressor.h"

namespace tessaly {

class CZipStorage;
class EntryDecryption;

class EntryDecoder {
public:
    enum class Status {
        Reading,    // more output may follow
        Finished,   // the whole entry was read
        DataError,  // the compressed data is corrupt
        Truncated,  // the archive ends inside the data
        Limited,    // stopped at an expansion limit; more output would follow
    };

    explicit EntryDecoder(CZipStorage& storage);
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;
    virtual ~EntryDecoder();

    // Starts reading at `dataOffset`. `length` is the data's declared
    // length: for stored data the number of bytes; for compressed data only
    // how far the first reads go (the stream's own end decides). Throws
    // CZipException for a method this build cannot read.
    void Begin(const StreamParameters& stream, std::uint64_t dataOffset, std::uint64_t length);
    void Begin(std::uint16_t method, std::uint64_t dataOffset, std::uint64_t length);
    // Decrypts the data read from here on in place, before it is
    // decompressed or delivered (nullptr: the data is not encrypted). Call
    // after Begin, which forgets it; Begin's offset and length are then those
    // of the encrypted data, without the scheme's framing.
    void SetDecryption(EntryDecryption* decryption) { decryption_ = decryption; }
    // The limits every entry from here on is read under; Begin keeps them.
    void SetLimits(const ExpansionLimits& limits) { limits_ = limits; }
    const ExpansionLimits& Limits() const { return limits_; }
    // Fills `buffer` as far as the entry goes; a count below `size` means the
    // status is no longer Reading. With `keepCrc` false the caller keeps the
    // CRC-32 of the output itself.
    std::size_t Read(std::uint8_t* buffer, std::size_t size, bool keepCrc = true);
    // Releases the decompressor and the input buffer; safe to call more
    // than once.
    void End();

    Status State() const { return status_; }
    std::uint64_t Consumed() const { return consumed_; }  // compressed bytes used
    std::uint64_t Produced() const { return produced_; }
    std::uint32_t Crc() const { return crc_; }
    // After DataError: why, when it is not plain corruption (see
    // Decompressor::ProblemText); after Limited: which limit, and where.
    // Empty otherwise.
    const std::string& Problem() const { return problem_; }
    // After DataError: where the stream broke, when its decompressor can
    // tell (Decompressor::Break); the bit counts from `dataOffset`.
    const std::optional<StreamBreak>& Break() const { return break_; }

    // The data descriptor right after the consumed data, with or without its
    // signature; without one it must name the consumed size to count.
    std::optional<zip::DataDescriptorRecord> ReadTrailingDescriptor(bool sizes64);

    // Compressed input is read this much at a time: large enough that reads,
    // and what a decompressor does once per call (ISA-L keeps its history
    // across calls), cost next to nothing beside decompressing. Tests may
    // make it smaller (BufferSizes.h); Begin reads the size in force.
    static constexpr std::size_t kInputBufferSize = std::size_t{256} << 10;
    // Compressed input is read no further than the declared length while
    // that lasts, but never less than this at a time.
    static constexpr std::size_t kSmallestRead = 4096;
    // How far a stream may run on past its declared uncompressed size (at
    // least): a damaged size field is no reason to stop, but a small entry
    // that decompresses to gigabytes must not fill the disk.
    static constexpr std::uint64_t kRunOnAllowance = std::uint64_t{16} << 20;

private:
    std::size_t ReadStored(std::uint8_t* buffer, std::size_t size);
    std::size_t ReadCompressed(std::uint8_t* buffer, std::size_t size);
    std::size_t ReadUpToLimit(std::uint8_t* buffer, std::size_t size);
    std::uint64_t OutputAllowance() const;
    void StopAtLimit(std::uint64_t allowance);
    void RefillInput();
    void GrowInput();
    std::size_t ReadInput(std::uint8_t* buffer, std::size_t size);
    std::size_t DrainAtEnd(std::uint8_t* buffer, std::size_t size);

    CZipStorage& storage_;
    EntryDecryption* decryption_ = nullptr;
    std::unique_ptr<Decompressor> decompressor_;
    CAutoBuffer input_;
    std::size_t inputStart_ = 0;  // first byte of input_ not consumed yet
    std::size_t inputEnd_ = 0;    // one past the last byte read into input_
    bool inputEnded_ = false;     // the file has no more bytes
    std::uint16_t method_ = 0;
    std::uint64_t dataOffset_ = 0;
    // Declared bytes not read yet: stored data ends there; compressed data
    // is read no further while it lasts.
    std::uint64_t declaredLeft_ = 0;
    std::uint64_t outputLimit_ = 0;  // compressed data: output beyond this is not decoded
    ExpansionLimits limits_;
    std::uint64_t consumed_ = 0;
    std::uint64_t produced_ = 0;
    std::uint32_t crc_ = 0;
    Status status_ = Status::Finished;
    std::string problem_;
    std::optional<StreamBreak> break_;
};

}  // namespace tessaly
