#include "tests/support/Damage.h"

#include <algorithm>

namespace tessaly::testzip {
namespace {

bool IsWideField(std::size_t offset, bool central) {
    if (central) return offset == 0 || offset == 16 || offset == 20 || offset == 24 || offset == 38 || offset == 42;
    return offset == 0 || offset == 14 || offset == 18 || offset == 22;
}

void PutField(Bytes& bytes, std::size_t at, std::uint32_t value, bool wide) {
    std::size_t width = wide ? 4 : 2;
    for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Shift(std::size_t& offset, std::size_t by) {
    if (offset != kNone) offset += by;
}

}  // namespace

void SetLocalField(Bytes& bytes, const EntryLayout& entry, LocalField field, std::uint32_t value) {
    auto offset = static_cast<std::size_t>(field);
    PutField(bytes, entry.localHeader + offset, value, IsWideField(offset, false));
}

void SetCentralField(Bytes& bytes, const EntryLayout& entry, CentralField field, std::uint32_t value) {
    if (entry.centralHeader == kNone) return;
    auto offset = static_cast<std::size_t>(field);
    PutField(bytes, entry.centralHeader + offset, value, IsWideField(offset, true));
}

void TruncateAt(Bytes& bytes, std::size_t size) { bytes.resize(std::min(size, bytes.size())); }

void FillRange(Bytes& bytes, std::size_t offset, std::size_t count, std::uint8_t value) {
    if (offset >= bytes.size()) return;
    count = std::min(count, bytes.size() - offset);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, value);
}

void ZeroRange(Bytes& bytes, std::size_t offset, std::size_t count) { FillRange(bytes, offset, count, 0); }

void FlipBits(Bytes& bytes, std::size_t offset, std::uint8_t mask) {
    if (offset < bytes.size()) bytes[offset] ^= mask;
}

void Overwrite(Bytes& bytes, std::size_t offset, const Bytes& with) {
    for (std::size_t i = 0; i < with.size() && offset + i < bytes.size(); ++i) bytes[offset + i] = with[i];
}

void PrependStub(BuiltZip& zip, const Bytes& stub, bool adjustCentralOffsets) {
    std::size_t by = stub.size();
    zip.bytes.insert(zip.bytes.begin(), stub.begin(), stub.end());
    for (EntryLayout& entry : zip.entries) {
        for (std::size_t* offset : {&entry.localHeader, &entry.nameOffset, &entry.extraOffset, &entry.dataStart,
                                    &entry.dataEnd, &entry.descriptor, &entry.descriptorEnd, &entry.centralHeader})
            Shift(*offset, by);
        if (adjustCentralOffsets)
            SetCentralField(zip.bytes, entry, CentralField::LocalHeaderOffset,
                            static_cast<std::uint32_t>(entry.localHeader));
    }
    Shift(zip.centralDirectory, by);
    Shift(zip.endRecord, by);
}

void DropCentralDirectory(BuiltZip& zip) {
    if (zip.centralDirectory == kNone) return;
    TruncateAt(zip.bytes, zip.centralDirectory);
    for (EntryLayout& entry : zip.entries) entry.centralHeader = kNone;
    zip.centralDirectory = kNone;
    zip.endRecord = kNone;
}

Bytes Garbage(std::size_t size, std::uint32_t seed) { return NoiseContent(seed ^ 0x5A17u, size); }

Bytes TextModeTransfer(const Bytes& bytes) {
    Bytes result;
    result.reserve(bytes.size() + bytes.size() / 128);
    for (const std::uint8_t byte : bytes) {
        if (byte == '\n') result.push_back('\r');
        result.push_back(byte);
    }
    return result;
}

}  // namespace tessaly::testzip
