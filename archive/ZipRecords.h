// The on-disk ZIP records the salvage reader decodes, one struct per record
// with its signature and fixed length next to it. Every multi-byte field is
// little-endian; records are decoded from bytes already read, never by
// copying into packed structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tessaly::zip {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;    // PK 3 4
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;  // PK 1 2
constexpr std::uint32_t kDescriptorSignature = 0x08074B50;     // PK 7 8
constexpr std::uint32_t kEndRecordSignature = 0x06054B50;      // PK 5 6 (never searched for)

constexpr std::size_t kLocalHeaderLength = 30;
constexpr std::size_t kCentralHeaderLength = 46;
constexpr std::size_t kDescriptorLength = 16;       // with signature, 32-bit sizes
constexpr std::size_t kZip64DescriptorLength = 24;  // with signature, 64-bit sizes

// A name or extra field is at most this long: its length is a 16-bit field.
constexpr std::size_t kMaxFieldLength = 0xFFFF;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8Name = 0x0800;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kMethodDeflate64 = 9;
constexpr std::uint16_t kMethodBZip2 = 12;

constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t kZip64Sentinel = 0xFFFFFFFF;

// Reads little-endian fields from a byte range. Reading past the end yields
// zeros rather than touching memory outside the range.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint64_t u64() { return take(8); }
    void skip(std::size_t n) { pos_ = (n > size_ - pos_) ? size_ : pos_ + n; }
    std::size_t Remaining() const { return size_ - pos_; }

private:
    std::uint64_t take(std::size_t n) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < n && pos_ < size_; ++i, ++pos_) value |= std::uint64_t{data_[pos_]} << (8 * i);
        return value;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// An extra-length field stored as two blanks means none; a blank in its high
// byte alone is dropped. Some writers pad the field with blanks.
inline std::uint16_t TolerantExtraLength(std::uint16_t stored) {
    if ((stored >> 8) != 0x20) return stored;
    return (stored & 0xFF) == 0x20 ? 0 : (stored & 0xFF);
}

struct LocalHeaderRecord {
    std::uint32_t signature;
    std::uint16_t versionNeeded;
    std::uint16_t flags;
    std::uint16_t method;
    std::uint16_t modTime;
    std::uint16_t modDate;
    std::uint32_t crc32;
    std::uint32_t compressedSize;
    std::uint32_t uncompressedSize;
    std::uint16_t nameLength;
    std::uint16_t extraLength;
};
// `bytes` holds kLocalHeaderLength bytes.
LocalHeaderRecord DecodeLocalHeader(const std::uint8_t* bytes);

struct CentralHeaderRecord {
    std::uint32_t signature;
    std::uint16_t versionMadeBy;
    std::uint16_t versionNeeded;
    std::uint16_t flags;
    std::uint16_t method;
    std::uint16_t modTime;
    std::uint16_t modDate;
    std::uint32_t crc32;
    std::uint32_t compressedSize;
    std::uint32_t uncompressedSize;
    std::uint16_t nameLength;
    std::uint16_t extraLength;
    std::uint16_t commentLength;
    std::uint32_t externalAttributes;
    std::uint32_t localHeaderOffset;
};
// `bytes` holds kCentralHeaderLength bytes.
CentralHeaderRecord DecodeCentralHeader(const std::uint8_t* bytes);

struct DataDescriptorRecord {
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};
// Decodes the fields after the signature: 12 bytes, or 20 with 64-bit sizes.
DataDescriptorRecord DecodeDescriptorFields(const std::uint8_t* bytes, bool sizes64);

// The 64-bit sizes of a ZIP64 extra field, for the sizes whose 32-bit field
// holds the sentinel. Returns false when the extra field has no ZIP64 block.
struct Zip64Sizes {
    std::uint64_t uncompressedSize;
    std::uint64_t compressedSize;
};
bool HasZip64Extra(const std::uint8_t* extra, std::size_t length);
bool ReadZip64Sizes(const std::uint8_t* extra, std::size_t length, std::uint32_t uncompressed32,
                    std::uint32_t compressed32, Zip64Sizes& sizes);

}  // namespace tessaly::zip
