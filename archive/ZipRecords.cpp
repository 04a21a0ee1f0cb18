#include "archive/ZipRecords.h"

namespace tessaly::zip {

LocalHeaderRecord DecodeLocalHeader(const std::uint8_t* bytes) {
    ByteCursor c(bytes, kLocalHeaderLength);
    LocalHeaderRecord r{};
    r.signature = c.u32();
    r.versionNeeded = c.u16();
    r.flags = c.u16();
    r.method = c.u16();
    r.modTime = c.u16();
    r.modDate = c.u16();
    r.crc32 = c.u32();
    r.compressedSize = c.u32();
    r.uncompressedSize = c.u32();
    r.nameLength = c.u16();
    r.extraLength = c.u16();
    return r;
}

CentralHeaderRecord DecodeCentralHeader(const std::uint8_t* bytes) {
    ByteCursor c(bytes, kCentralHeaderLength);
    CentralHeaderRecord r{};
    r.signature = c.u32();
    r.versionMadeBy = c.u16();
    r.versionNeeded = c.u16();
    r.flags = c.u16();
    r.method = c.u16();
    r.modTime = c.u16();
    r.modDate = c.u16();
    r.crc32 = c.u32();
    r.compressedSize = c.u32();
    r.uncompressedSize = c.u32();
    r.nameLength = c.u16();
    r.extraLength = c.u16();
    r.commentLength = c.u16();
    c.skip(4);  // disk start, internal attributes
    r.externalAttributes = c.u32();
    r.localHeaderOffset = c.u32();
    return r;
}

DataDescriptorRecord DecodeDescriptorFields(const std::uint8_t* bytes, bool sizes64) {
    ByteCursor c(bytes, sizes64 ? 20 : 12);
    DataDescriptorRecord r;
    r.crc32 = c.u32();
    r.compressedSize = sizes64 ? c.u64() : c.u32();
    r.uncompressedSize = sizes64 ? c.u64() : c.u32();
    return r;
}

namespace {
// Finds the ZIP64 block of an extra field; returns its data and length.
bool FindZip64Block(const std::uint8_t* extra, std::size_t length, const std::uint8_t*& data, std::size_t& size) {
    std::size_t pos = 0;
    while (pos + 4 <= length) {
        ByteCursor c(extra + pos, 4);
        std::uint16_t id = c.u16();
        std::uint16_t blockSize = c.u16();
        if (pos + 4 + blockSize > length) return false;
        if (id == kZip64ExtraId) {
            data = extra + pos + 4;
            size = blockSize;
            return true;
        }
        pos += 4 + blockSize;
    }
    return false;
}
}  // namespace

bool HasZip64Extra(const std::uint8_t* extra, std::size_t length) {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    return extra != nullptr && FindZip64Block(extra, length, data, size);
}

bool ReadZip64Sizes(const std::uint8_t* extra, std::size_t length, std::uint32_t uncompressed32,
                    std::uint32_t compressed32, Zip64Sizes& sizes) {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (extra == nullptr || !FindZip64Block(extra, length, data, size)) return false;
    // The block holds only the values whose 32-bit field is the sentinel, in
    // this order: uncompressed size, compressed size.
    ByteCursor c(data, size);
    sizes.uncompressedSize = uncompressed32;
    sizes.compressedSize = compressed32;
    if (uncompressed32 == kZip64Sentinel && c.Remaining() >= 8) sizes.uncompressedSize = c.u64();
    if (compressed32 == kZip64Sentinel && c.Remaining() >= 8) sizes.compressedSize = c.u64();
    return true;
}

}  // namespace tessaly::zip
