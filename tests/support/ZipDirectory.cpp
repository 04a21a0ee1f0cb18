#include "tests/support/ZipDirectory.h"

namespace tessaly::testzip {
namespace {

std::uint64_t Le(const Bytes& b, std::uint64_t at, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= std::uint64_t{b[at + i]} << (8 * i);
    return value;
}

// The ZIP64 extra block's values for the fields that hold the sentinel.
void TakeZip64(DirectoryEntry& entry, bool offsetSentinel) {
    const Bytes& x = entry.extra;
    for (std::size_t at = 0; at + 4 <= x.size();) {
        const std::uint64_t id = Le(x, at, 2), size = Le(x, at + 2, 2);
        if (id == 1) {
            std::size_t field = at + 4;
            if (entry.uncompressedSize == 0xFFFFFFFF) entry.uncompressedSize = Le(x, field, 8), field += 8;
            if (entry.compressedSize == 0xFFFFFFFF) entry.compressedSize = Le(x, field, 8), field += 8;
            if (offsetSentinel) entry.localHeader = Le(x, field, 8);
        }
        at += 4 + size;
    }
}

}  // namespace

std::optional<Directory> ReadDirectory(const Bytes& b) {
    if (b.size() < 22) return std::nullopt;
    std::size_t end = b.size() - 22;
    while (Le(b, end, 4) != 0x06054B50) {
        if (end == 0 || b.size() - end > 22 + 0xFFFF) return std::nullopt;
        --end;
    }
    Directory directory;
    std::uint64_t count = Le(b, end + 10, 2);
    std::uint64_t offset = Le(b, end + 16, 4);
    const std::uint64_t commentLength = Le(b, end + 20, 2);
    if (end + 22 + commentLength > b.size()) return std::nullopt;
    directory.comment.assign(b.begin() + end + 22, b.begin() + end + 22 + commentLength);
    if (end >= 20 && Le(b, end - 20, 4) == 0x07064B50) {
        const std::uint64_t record = Le(b, end - 20 + 8, 8);
        if (record + 56 > b.size() || Le(b, record, 4) != 0x06064B50) return std::nullopt;
        directory.zip64End = true;
        count = Le(b, record + 32, 8);
        offset = Le(b, record + 48, 8);
    }
    for (std::uint64_t i = 0, at = offset; i < count; ++i) {
        if (at + 46 > b.size() || Le(b, at, 4) != 0x02014B50) return std::nullopt;
        DirectoryEntry e;
        e.versionNeeded = static_cast<std::uint16_t>(Le(b, at + 6, 2));
        e.flags = static_cast<std::uint16_t>(Le(b, at + 8, 2));
        e.method = static_cast<std::uint16_t>(Le(b, at + 10, 2));
        e.crc32 = static_cast<std::uint32_t>(Le(b, at + 16, 4));
        e.compressedSize = Le(b, at + 20, 4);
        e.uncompressedSize = Le(b, at + 24, 4);
        const std::uint64_t name = Le(b, at + 28, 2), extra = Le(b, at + 30, 2), comment = Le(b, at + 32, 2);
        e.localHeader = Le(b, at + 42, 4);
        if (at + 46 + name + extra + comment > b.size()) return std::nullopt;
        e.name.assign(b.begin() + at + 46, b.begin() + at + 46 + name);
        e.extra.assign(b.begin() + at + 46 + name, b.begin() + at + 46 + name + extra);
        e.comment.assign(b.begin() + at + 46 + name + extra, b.begin() + at + 46 + name + extra + comment);
        TakeZip64(e, e.localHeader == 0xFFFFFFFF);
        if (e.localHeader + 30 > b.size() || Le(b, e.localHeader, 4) != 0x04034B50) return std::nullopt;
        const std::uint64_t localName = Le(b, e.localHeader + 26, 2), localExtra = Le(b, e.localHeader + 28, 2);
        e.dataStart = e.localHeader + 30 + localName + localExtra;
        if (e.dataStart > b.size()) return std::nullopt;
        e.localExtra.assign(b.begin() + e.localHeader + 30 + localName, b.begin() + e.dataStart);
        directory.entries.push_back(std::move(e));
        at += 46 + name + extra + comment;
    }
    return directory;
}

Bytes StoredBytes(const Bytes& archive, const DirectoryEntry& entry) {
    if (entry.dataStart > archive.size() || entry.compressedSize > archive.size() - entry.dataStart) return {};
    return Bytes(archive.begin() + static_cast<std::ptrdiff_t>(entry.dataStart),
                 archive.begin() + static_cast<std::ptrdiff_t>(entry.dataStart + entry.compressedSize));
}

}  // namespace tessaly::testzip
