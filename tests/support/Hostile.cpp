#include "tests/support/Hostile.h"

#include <string>
#include <vector>

#include <zlib.h>

#include "tests/support/Damage.h"

namespace tessaly::testzip {
namespace {

void Put16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

struct Record {
    std::string name;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint32_t compressedSize;
    std::uint32_t uncompressedSize;
    std::uint32_t offset;
};

Bytes LocalHeader(const Record& r) {
    Bytes out;
    Put32(out, 0x04034B50);
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, r.method);
    Put16(out, 0x6000);
    Put16(out, 0x5987);
    Put32(out, r.crc);
    Put32(out, r.compressedSize);
    Put32(out, r.uncompressedSize);
    Put16(out, static_cast<std::uint32_t>(r.name.size()));
    Put16(out, 0);
    out.insert(out.end(), r.name.begin(), r.name.end());
    return out;
}

void AppendDirectory(Bytes& out, const std::vector<Record>& records) {
    const auto start = static_cast<std::uint32_t>(out.size());
    for (const Record& r : records) {
        Put32(out, 0x02014B50);
        Put16(out, 20);
        Put16(out, 20);
        Put16(out, 0);
        Put16(out, r.method);
        Put16(out, 0x6000);
        Put16(out, 0x5987);
        Put32(out, r.crc);
        Put32(out, r.compressedSize);
        Put32(out, r.uncompressedSize);
        Put16(out, static_cast<std::uint32_t>(r.name.size()));
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, 0);
        Put32(out, r.offset);
        out.insert(out.end(), r.name.begin(), r.name.end());
    }
    const auto size = static_cast<std::uint32_t>(out.size()) - start;
    Put32(out, 0x06054B50);
    Put32(out, 0);
    Put16(out, static_cast<std::uint32_t>(records.size()));
    Put16(out, static_cast<std::uint32_t>(records.size()));
    Put32(out, size);
    Put32(out, start);
    Put16(out, 0);
}

// Names of one length, so that every quoted header is as long as the next.
std::string EntryName(std::size_t i) {
    std::string digits = std::to_string(i);
    return "bomb/" + std::string(8 - digits.size(), '0') + digits + ".bin";
}

}  // namespace

HostileZip OverlapBomb(std::size_t count, std::size_t kernelSize) {
    const Bytes kernelData(kernelSize, 'a');
    const Bytes kernel = RawDeflate(kernelData, 9);
    const std::size_t headerLength = 30 + EntryName(0).size();
    // Each entry's data: a stored block quoting the next header, then the
    // next entry's data; the last entry's data is the kernel.
    const std::size_t quote = 5 + headerLength;
    std::vector<Record> records(count);
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, kernelData.data(), static_cast<uInt>(kernelData.size())));
    std::uint64_t uncompressed = kernelSize;
    std::uint64_t compressed = kernel.size();
    HostileZip zip;
    for (std::size_t k = count; k-- > 0;) {
        Record& r = records[k];
        r = {EntryName(k),
             8,
             crc,
             static_cast<std::uint32_t>(compressed),
             static_cast<std::uint32_t>(uncompressed),
             static_cast<std::uint32_t>(k * (headerLength + 5))};
        zip.totalSize += uncompressed;
        if (k == 0) break;
        // The entry before quotes this header in front of this data.
        const Bytes header = LocalHeader(r);
        crc = static_cast<std::uint32_t>(
            crc32_combine(static_cast<uLong>(crc32(0, header.data(), static_cast<uInt>(header.size()))), crc,
                          static_cast<z_off_t>(uncompressed)));
        uncompressed += header.size();
        compressed += quote;
    }
    zip.firstEntrySize = records[0].uncompressedSize;
    for (std::size_t k = 0; k < count; ++k) {
        const Bytes header = LocalHeader(records[k]);
        zip.bytes.insert(zip.bytes.end(), header.begin(), header.end());
        if (k + 1 == count) break;
        zip.bytes.push_back(0);  // stored block, not final
        Put16(zip.bytes, static_cast<std::uint32_t>(headerLength));
        Put16(zip.bytes, static_cast<std::uint32_t>(~headerLength & 0xFFFF));
    }
    zip.bytes.insert(zip.bytes.end(), kernel.begin(), kernel.end());
    AppendDirectory(zip.bytes, records);
    return zip;
}

HostileZip SharedTailHeaders(std::size_t count, std::size_t spacing) {
    const std::size_t directory = count * spacing;
    std::vector<Record> records;
    HostileZip zip;
    zip.bytes.assign(directory, 'x');
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t offset = k * spacing;
        const std::size_t dataStart = offset + 30 + EntryName(k).size();
        const auto size = static_cast<std::uint32_t>(directory - dataStart);
        records.push_back({EntryName(k), 0, 0, size, size, static_cast<std::uint32_t>(offset)});
        const Bytes header = LocalHeader(records.back());
        std::copy(header.begin(), header.end(), zip.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        zip.totalSize += size;
    }
    zip.firstEntrySize = records[0].uncompressedSize;
    AppendDirectory(zip.bytes, records);
    return zip;
}

Bytes SignatureFlood(std::size_t size) {
    Bytes out(size);
    const std::uint8_t signature[4] = {0x50, 0x4B, 0x03, 0x04};
    for (std::size_t i = 0; i < size; ++i) out[i] = signature[i % 4];
    return out;
}

Bytes TextModeTransferred(std::size_t count) {
    std::vector<EntryToWrite> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "project/module" + std::to_string(i % 37) + "/part" + std::to_string(i % 11) +
                                 "/file" + std::to_string(i) + (i % 4 == 0 ? ".bin" : ".txt");
        const std::size_t size = 1000 + (i * 7919u) % 3000;
        if (i % 4 != 0) {
            entries.push_back(Deflated(name, TextContent(name, size * 4)));
        } else {
            EntryToWrite noise = Deflated(name, NoiseContent(static_cast<std::uint32_t>(i), size));
            if (i % 8 == 0) noise.method = Method::Stored;
            entries.push_back(std::move(noise));
        }
    }
    return TextModeTransfer(BuildZip(entries).bytes);
}

}  // namespace tessaly::testzip
