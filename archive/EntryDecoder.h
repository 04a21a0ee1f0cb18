// Reads one opened entry's data: stored bytes copied as they are, or a raw
// Deflate stream inflated through zlib. For deflated data the stream's own
// end decides where the entry ends; the declared compressed size does not
// cut it short and cannot add bytes. Keeps the running CRC-32 of the output.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <vector>

#include "archive/AutoBuffer.h"
#include "archive/ZipRecords.h"

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
    };

    explicit EntryDecoder(CZipStorage& storage);
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;
    virtual ~EntryDecoder();

    // Starts reading at `dataOffset`. For stored data `storedLength` is the
    // number of bytes; for deflated data it is ignored.
    void Begin(std::uint16_t method, std::uint64_t dataOffset, std::uint64_t storedLength);
    // Decrypts the data read from here on in place, before it is
    // decompressed or delivered (nullptr: the data is not encrypted). Call
    // after Begin, which forgets it; Begin's offset and length are then those
    // of the encrypted data, without the scheme's framing.
    void SetDecryption(EntryDecryption* decryption) { decryption_ = decryption; }

    // Fills `buffer` as far as the entry goes; a count below `size` means the
    // status is no longer Reading. With `keepCrc` false the caller keeps the
    // CRC-32 of the output itself.
    std::size_t Read(std::uint8_t* buffer, std::size_t size, bool keepCrc = true);
    // Releases the zlib state; safe to call more than once.
    void End();

    Status status() const { return status_; }
    std::uint64_t consumed() const { return consumed_; }  // compressed bytes used
    std::uint64_t produced() const { return produced_; }
    std::uint32_t crc() const { return crc_; }

    // The data descriptor right after the consumed data, with or without its
    // signature; without one it must name the consumed size to count.
    std::optional<zip::DataDescriptorRecord> ReadTrailingDescriptor(bool sizes64);

    // Compressed input is read this much at a time: large enough that reads
    // cost next to nothing beside inflating.
    static constexpr std::size_t kInputBufferSize = 65536;

private:
    std::size_t ReadStored(std::uint8_t* buffer, std::size_t size);
    std::size_t ReadDeflated(std::uint8_t* buffer, std::size_t size);
    bool RefillInput();
    std::size_t ReadInput(std::uint8_t* buffer, std::size_t size);
    void FindTail();
    std::size_t DeliverTail(std::uint8_t* buffer, std::size_t size);

    static voidpf Allocate(voidpf opaque, uInt items, uInt size);
    static void Free(voidpf opaque, voidpf block);

    CZipStorage& storage_;
    EntryDecryption* decryption_ = nullptr;
    z_stream stream_{};
    bool inflating_ = false;
    std::list<void*> zlibBlocks_;  // every block zlib currently holds
    CAutoBuffer input_;
    std::uint16_t method_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::uint64_t storedLeft_ = 0;
    std::uint64_t fed_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t produced_ = 0;
    std::uint32_t crc_ = 0;
    Status status_ = Status::Finished;
    // What the inflater can still produce when the input ends inside a code.
    std::vector<std::uint8_t> tail_;
    std::size_t tailDelivered_ = 0;
    bool tailFound_ = false;
};

}  // namespace tessaly
