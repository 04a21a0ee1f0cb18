#include "tests/support/ZipWriter.h"

#include <stdexcept>
#include <utility>

#include <zlib.h>

#include "tests/support/ZipCrypt.h"

namespace tessaly::testzip {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kDescriptorSignature = 0x08074B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kSentinel = 0xFFFFFFFF;

void Put16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put64(Bytes& out, std::uint64_t value) {
    Put32(out, static_cast<std::uint32_t>(value));
    Put32(out, static_cast<std::uint32_t>(value >> 32));
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

void AppendText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

std::uint32_t Low32(std::uint64_t value) { return static_cast<std::uint32_t>(value); }

// Everything computed for an entry before its records are written.
struct Prepared {
    Bytes payload;  // the bytes written as the entry's data
    Bytes localExtra;
    Bytes centralExtra;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t versionNeeded = 20;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

Bytes Zip64Extra(std::uint64_t uncompressed, std::uint64_t compressed) {
    Bytes extra;
    Put16(extra, 0x0001);
    Put16(extra, 16);
    Put64(extra, uncompressed);
    Put64(extra, compressed);
    return extra;
}

// Replaces the payload by its encrypted form, with the framing the scheme
// puts around it. The check byte of traditional encryption comes from the
// time when the sizes follow the data.
void Encrypt(const EntryToWrite& input, Prepared& p) {
    const auto seed = static_cast<std::uint32_t>(p.crc32 ^ input.name.size());
    p.flags = static_cast<std::uint16_t>(p.flags | 0x0001);
    if (input.aes) {
        p.payload = AesEncrypt(*input.password, input.aes->strength, p.payload, seed);
        const Bytes extra = AesExtra(input.aes->vendorVersion, input.aes->strength, p.method);
        p.localExtra.insert(p.localExtra.begin(), extra.begin(), extra.end());
        p.centralExtra.insert(p.centralExtra.begin(), extra.begin(), extra.end());
        p.method = input.methodOverride.value_or(99);
        if (input.aes->vendorVersion == 2) p.crc32 = 0;
    } else {
        const auto check = static_cast<std::uint8_t>(input.streamed ? input.dosTime >> 8 : p.crc32 >> 24);
        p.payload = TraditionalEncrypt(*input.password, check, p.payload, seed);
    }
    p.compressedSize = p.payload.size();
}

Prepared Prepare(const EntryToWrite& input) {
    Prepared p;
    p.payload = input.rawData ? *input.rawData
                              : (input.method == Method::Deflated ? RawDeflate(input.data, input.level) : input.data);
    p.crc32 = Crc32(input.data);
    p.compressedSize = p.payload.size();
    p.uncompressedSize = input.data.size();
    p.method = input.methodOverride.value_or(input.method == Method::Deflated ? 8 : 0);
    p.flags = static_cast<std::uint16_t>((input.encrypted ? 0x0001 : 0) | (input.streamed ? 0x0008 : 0) |
                                         (input.utf8Flag ? 0x0800 : 0) | input.extraFlags);
    p.flags = input.flagsOverride.value_or(p.flags);
    p.localExtra = input.extra;
    p.centralExtra = input.extra;
    if (input.password) Encrypt(input, p);
    if (input.zip64Descriptor) {
        p.versionNeeded = 45;
        bool known = input.sizesInLocalHeader;
        Append(p.localExtra, Zip64Extra(known ? p.uncompressedSize : 0, known ? p.compressedSize : 0));
        Append(p.centralExtra, Zip64Extra(p.uncompressedSize, p.compressedSize));
    }
    return p;
}

void WriteLocalHeader(Bytes& out, const EntryToWrite& input, const Prepared& p) {
    bool hideValues = input.streamed && !input.sizesInLocalHeader;
    std::uint32_t crc = hideValues ? 0 : p.crc32;
    std::uint32_t csize = hideValues ? 0 : Low32(p.compressedSize);
    std::uint32_t usize = hideValues ? 0 : Low32(p.uncompressedSize);
    if (input.zip64Descriptor && (input.sizesInLocalHeader || input.zip64LocalSizes == Zip64LocalSizes::Sentinel))
        csize = usize = kSentinel;
    Put32(out, kLocalSignature);
    Put16(out, p.versionNeeded);
    Put16(out, p.flags);
    Put16(out, p.method);
    Put16(out, input.dosTime);
    Put16(out, input.dosDate);
    Put32(out, crc);
    Put32(out, csize);
    Put32(out, usize);
    Put16(out, static_cast<std::uint32_t>(input.name.size()));
    Put16(out, static_cast<std::uint32_t>(p.localExtra.size()));
}

void WriteDescriptor(Bytes& out, const EntryToWrite& input, const Prepared& p) {
    if (input.descriptorSignature) Put32(out, kDescriptorSignature);
    Put32(out, p.crc32);
    if (input.zip64Descriptor) {
        Put64(out, p.compressedSize);
        Put64(out, p.uncompressedSize);
    } else {
        Put32(out, Low32(p.compressedSize));
        Put32(out, Low32(p.uncompressedSize));
    }
}

void WriteCentralHeader(Bytes& out, const EntryToWrite& input, const Prepared& p, std::size_t localOffset) {
    bool zip64 = input.zip64Descriptor;
    Put32(out, kCentralSignature);
    Put16(out, p.versionNeeded);  // version made by: MS-DOS, same input level
    Put16(out, p.versionNeeded);
    Put16(out, p.flags);
    Put16(out, p.method);
    Put16(out, input.dosTime);
    Put16(out, input.dosDate);
    Put32(out, p.crc32);
    Put32(out, zip64 ? kSentinel : Low32(p.compressedSize));
    Put32(out, zip64 ? kSentinel : Low32(p.uncompressedSize));
    Put16(out, static_cast<std::uint32_t>(input.name.size()));
    Put16(out, static_cast<std::uint32_t>(p.centralExtra.size()));
    Put16(out, 0);  // comment length
    Put16(out, 0);  // disk number start
    Put16(out, 0);  // internal attributes
    Put32(out, 0x20);
    Put32(out, Low32(localOffset));
    AppendText(out, input.name);
    Append(out, p.centralExtra);
}

void WriteEndRecord(Bytes& out, std::size_t count, std::size_t centralStart, std::size_t centralSize) {
    std::uint32_t shown = count > 0xFFFF ? 0xFFFF : static_cast<std::uint32_t>(count);
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, shown);
    Put16(out, shown);
    Put32(out, Low32(centralSize));
    Put32(out, Low32(centralStart));
    Put16(out, 0);
}

}  // namespace

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string ToString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

EntryToWrite Stored(std::string name, Bytes content) {
    EntryToWrite input;
    input.name = std::move(name);
    input.data = std::move(content);
    input.method = Method::Stored;
    return input;
}

EntryToWrite Stored(std::string name, std::string_view content) { return Stored(std::move(name), ToBytes(content)); }

EntryToWrite Deflated(std::string name, Bytes content) {
    EntryToWrite input = Stored(std::move(name), std::move(content));
    input.method = Method::Deflated;
    return input;
}

EntryToWrite Deflated(std::string name, std::string_view content) {
    return Deflated(std::move(name), ToBytes(content));
}

EntryToWrite WithPassword(EntryToWrite entry, std::string password) {
    entry.password = std::move(password);
    return entry;
}

BuiltZip BuildZip(const std::vector<EntryToWrite>& entries, const BuildOptions& options) {
    BuiltZip zip;
    std::vector<Prepared> prepared;
    for (const EntryToWrite& input : entries) {
        Prepared p = Prepare(input);
        EntryLayout layout;
        layout.localHeader = zip.bytes.size();
        WriteLocalHeader(zip.bytes, input, p);
        layout.nameOffset = zip.bytes.size();
        AppendText(zip.bytes, input.name);
        layout.extraOffset = zip.bytes.size();
        Append(zip.bytes, p.localExtra);
        layout.dataStart = zip.bytes.size();
        Append(zip.bytes, p.payload);
        layout.dataEnd = zip.bytes.size();
        if (input.streamed) {
            layout.descriptor = zip.bytes.size();
            WriteDescriptor(zip.bytes, input, p);
            layout.descriptorEnd = zip.bytes.size();
        }
        layout.crc32 = p.crc32;
        layout.compressedSize = p.compressedSize;
        layout.uncompressedSize = p.uncompressedSize;
        zip.entries.push_back(layout);
        prepared.push_back(std::move(p));
    }
    if (!options.centralDirectory) return zip;
    zip.centralDirectory = zip.bytes.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        zip.entries[i].centralHeader = zip.bytes.size();
        WriteCentralHeader(zip.bytes, entries[i], prepared[i], zip.entries[i].localHeader);
    }
    zip.endRecord = zip.bytes.size();
    WriteEndRecord(zip.bytes, entries.size(), zip.centralDirectory, zip.endRecord - zip.centralDirectory);
    return zip;
}

Bytes RawDeflate(const Bytes& data, int level, int strategy, const Bytes& dictionary) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, strategy) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    if (!dictionary.empty() &&
        deflateSetDictionary(&stream, dictionary.data(), static_cast<uInt>(dictionary.size())) != Z_OK)
        throw std::runtime_error("deflateSetDictionary failed");
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
    out.resize(stream.total_out);
    return out;
}

std::uint32_t Crc32(const Bytes& data) {
    return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size())));
}

Bytes TextContent(std::string_view seed, std::size_t size) {
    static const char* const kWords[] = {"salvage", "archive", "entry",   "deflate", "header",
                                         "stored",  "damaged", "recover", "folder",  "byte"};
    Bytes out;
    std::uint32_t state = 2166136261u;
    for (char c : seed) state = (state ^ static_cast<std::uint8_t>(c)) * 16777619u;
    std::size_t line = 0;
    while (out.size() < size) {
        std::string text = std::string(seed) + " " + std::to_string(line++) + ":";
        for (int w = 0; w < 8; ++w) {
            state = state * 1664525u + 1013904223u;
            text += " ";
            text += kWords[(state >> 16) % 10];
        }
        text += "\n";
        out.insert(out.end(), text.begin(), text.end());
    }
    out.resize(size);
    return out;
}

Bytes NoiseContent(std::uint32_t seed, std::size_t size) {
    Bytes out(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        std::uint8_t byte = static_cast<std::uint8_t>(state >> 24);
        out[i] = byte == 'P' ? std::uint8_t{'Q'} : byte;
    }
    return out;
}

std::uint16_t DosDate(int year, int month, int day) {
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

std::uint16_t DosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

}  // namespace tessaly::testzip
