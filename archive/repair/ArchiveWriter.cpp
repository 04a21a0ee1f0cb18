#include "archive/repair/ArchiveWriter.h"

#include <algorithm>

#include "archive/ZipRecords.h"
#include "platform/File.h"

namespace tessaly {
namespace {

constexpr std::uint32_t kZip64EndRecordSignature = 0x06064B50;   // PK 6 6
constexpr std::uint32_t kZip64EndLocatorSignature = 0x07064B50;  // PK 6 7
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint64_t kMax32 = 0xFFFFFFFF;
constexpr std::uint64_t kMax16 = 0xFFFF;

// Little-endian fields appended to a byte vector.
class Bytes {
public:
    explicit Bytes(std::vector<std::uint8_t>& out) : out_(out) {}
    Bytes& u16(std::uint64_t value) { return Put(value, 2); }
    Bytes& u32(std::uint64_t value) { return Put(value, 4); }
    Bytes& u64(std::uint64_t value) { return Put(value, 8); }
    Bytes& text(const std::string& value) {
        out_.insert(out_.end(), value.begin(), value.end());
        return *this;
    }
    Bytes& raw(const std::vector<std::uint8_t>& value) {
        out_.insert(out_.end(), value.begin(), value.end());
        return *this;
    }

private:
    Bytes& Put(std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    std::vector<std::uint8_t>& out_;
};

std::uint32_t Field32(std::uint64_t value) {
    return value >= kMax32 ? zip::kZip64Sentinel : static_cast<std::uint32_t>(value);
}

std::string Capped(const std::string& text) { return text.size() > kMax16 ? text.substr(0, kMax16) : text; }

bool HasDescriptor(const NewEntry& entry) { return (entry.flags & zip::kFlagDescriptor) != 0; }

}  // namespace

ArchiveWriter::ArchiveWriter(CFile& file) : file_(file) {}

void ArchiveWriter::Write(const std::vector<std::uint8_t>& bytes) {
    file_.Write(bytes.data(), bytes.size());
    position_ += bytes.size();
}

void ArchiveWriter::BeginEntry(const NewEntry& entry) {
    current_ = entry;
    current_.name = Capped(current_.name);
    current_.comment = Capped(current_.comment);
    currentOffset_ = position_;
    localZip64_ = entry.uncompressedSize >= kMax32 || entry.compressedSize >= kMax32;
    WriteLocalHeader();
}

// The local header carries the sizes (both in a ZIP64 block when either
// needs it); an entry with a data descriptor leaves CRC-32 and sizes to it.
void ArchiveWriter::WriteLocalHeader() {
    const bool later = HasDescriptor(current_);
    const std::uint64_t extraLength = current_.extra.size() + (localZip64_ ? 20 : 0);
    std::vector<std::uint8_t> header;
    header.reserve(zip::kLocalHeaderLength + current_.name.size() + extraLength);
    Bytes out(header);
    out.u32(zip::kLocalHeaderSignature)
        .u16(localZip64_ ? std::max(kVersionZip64, current_.versionNeeded) : current_.versionNeeded)
        .u16(current_.flags)
        .u16(current_.method)
        .u16(current_.modTime)
        .u16(current_.modDate)
        .u32(later ? 0 : current_.crc32);
    if (localZip64_)
        out.u32(zip::kZip64Sentinel).u32(zip::kZip64Sentinel);
    else
        out.u32(later ? 0 : current_.compressedSize).u32(later ? 0 : current_.uncompressedSize);
    out.u16(current_.name.size()).u16(std::min<std::uint64_t>(extraLength, kMax16)).text(current_.name);
    if (localZip64_)
        out.u16(zip::kZip64ExtraId)
            .u16(16)
            .u64(later ? 0 : current_.uncompressedSize)
            .u64(later ? 0 : current_.compressedSize);
    out.raw(current_.extra);
    Write(header);
}

void ArchiveWriter::WriteData(const void* bytes, std::size_t size) {
    file_.Write(bytes, size);
    position_ += size;
}

void ArchiveWriter::EndEntry(std::uint32_t crc32, std::uint64_t compressedSize) {
    const bool changed = crc32 != current_.crc32 || compressedSize != current_.compressedSize;
    current_.crc32 = crc32;
    current_.compressedSize = compressedSize;
    if (HasDescriptor(current_)) {
        std::vector<std::uint8_t> descriptor;
        Bytes out(descriptor);
        out.u32(zip::kDescriptorSignature).u32(crc32);
        if (localZip64_)
            out.u64(compressedSize).u64(current_.uncompressedSize);
        else
            out.u32(compressedSize).u32(current_.uncompressedSize);
        Write(descriptor);
    } else if (changed) {
        const std::uint64_t end = position_;
        file_.Seek(static_cast<std::int64_t>(currentOffset_), CFile::Origin::Begin);
        position_ = currentOffset_;
        WriteLocalHeader();
        file_.Seek(static_cast<std::int64_t>(end), CFile::Origin::Begin);
        position_ = end;
    }
    AddCentralRecord();
}

void ArchiveWriter::AbandonEntry() {
    file_.SetLength(currentOffset_);
    file_.Seek(static_cast<std::int64_t>(currentOffset_), CFile::Origin::Begin);
    position_ = currentOffset_;
}

// The central record: ZIP64 block holding just the fields that overflow,
// in the order the format gives them.
void ArchiveWriter::AddCentralRecord() {
    std::vector<std::uint8_t> zip64;
    Bytes block(zip64);
    if (current_.uncompressedSize >= kMax32) block.u64(current_.uncompressedSize);
    if (current_.compressedSize >= kMax32) block.u64(current_.compressedSize);
    if (currentOffset_ >= kMax32) block.u64(currentOffset_);
    const std::uint64_t extraLength = current_.extra.size() + (zip64.empty() ? 0 : 4 + zip64.size());
    const std::uint16_t needed =
        zip64.empty() ? current_.versionNeeded : std::max(kVersionZip64, current_.versionNeeded);
    Bytes out(central_);
    out.u32(zip::kCentralHeaderSignature)
        .u16(current_.versionMadeBy)
        .u16(needed)
        .u16(current_.flags)
        .u16(current_.method)
        .u16(current_.modTime)
        .u16(current_.modDate)
        .u32(current_.crc32)
        .u32(Field32(current_.compressedSize))
        .u32(Field32(current_.uncompressedSize))
        .u16(current_.name.size())
        .u16(std::min<std::uint64_t>(extraLength, kMax16))
        .u16(current_.comment.size())
        .u16(0)  // disk number
        .u16(current_.internalAttributes)
        .u32(current_.externalAttributes)
        .u32(Field32(currentOffset_))
        .text(current_.name);
    if (!zip64.empty()) out.u16(zip::kZip64ExtraId).u16(zip64.size()).raw(zip64);
    out.raw(current_.extra).text(current_.comment);
    ++count_;
}

void ArchiveWriter::Finish(const std::string& comment) {
    const std::uint64_t directoryOffset = position_;
    const std::uint64_t directorySize = central_.size();
    Write(central_);
    central_.clear();
    central_.shrink_to_fit();

    const bool zip64 = count_ >= kMax16 || directoryOffset >= kMax32 || directorySize >= kMax32;
    std::vector<std::uint8_t> end;
    Bytes out(end);
    if (zip64) {
        const std::uint64_t recordOffset = position_;
        out.u32(kZip64EndRecordSignature)
            .u64(44)  // the record's size after this field
            .u16(kVersionZip64)
            .u16(kVersionZip64)
            .u32(0)
            .u32(0)
            .u64(count_)
            .u64(count_)
            .u64(directorySize)
            .u64(directoryOffset);
        out.u32(kZip64EndLocatorSignature).u32(0).u64(recordOffset).u32(1);
    }
    std::string kept = Capped(comment);
    kept = kept.substr(0, kept.find("PK\x05\x06"));
    const std::uint64_t entries = std::min<std::uint64_t>(count_, kMax16);
    out.u32(zip::kEndRecordSignature)
        .u16(0)
        .u16(0)
        .u16(entries)
        .u16(entries)
        .u32(Field32(directorySize))
        .u32(Field32(directoryOffset))
        .u16(kept.size())
        .text(kept);
    Write(end);
}

}  // namespace tessaly
