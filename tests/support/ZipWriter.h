// A small ZIP writer for tests: builds archives in memory, healthy or with
// the quirks real writers produce (streamed entries with data descriptors,
// ZIP64 descriptors, raw name bytes, encryption flags, odd flags and
// methods), and tells where every record landed so tests can damage an
// archive at a precise place (see Damage.h).
//
// It does not split into volumes or write ZIP64 end records. An entry given
// a password is really encrypted (traditional, or WinZip AES with `aes`);
// one with only the `encrypted` flag carries the flag, its data as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::testzip {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);
std::string ToString(const Bytes& bytes);

enum class Method { Stored, Deflated };

// How a streamed entry's sizes are written in its local header when the
// entry carries a ZIP64 extra field.
enum class Zip64LocalSizes { Zero, Sentinel };

struct EntryToWrite {
    std::string name;  // raw name bytes, written as they are
    Bytes data;        // uncompressed content
    Method method = Method::Deflated;
    int level = 6;  // deflate level

    bool utf8Flag = false;   // general-purpose flag bit 11
    bool encrypted = false;  // flag bit 0; the data is not encrypted
    // Real encryption (flag bit 0 set): traditional PKWARE with this
    // password, or WinZip AES when `aes` is set too (method 99, the 0x9901
    // extra field first; AE-2 writes CRC-32 0).
    std::optional<std::string> password;
    struct Aes {
        int strength = 3;       // 1, 2, 3: 128, 192, 256 bits
        int vendorVersion = 2;  // AE-1 or AE-2
    };
    std::optional<Aes> aes;

    // Streamed: flag bit 3, CRC-32 and sizes 0 in the local header, a data
    // descriptor after the data.
    bool streamed = false;
    bool descriptorSignature = true;
    bool zip64Descriptor = false;  // 64-bit descriptor sizes + ZIP64 extra field
    Zip64LocalSizes zip64LocalSizes = Zip64LocalSizes::Zero;
    bool sizesInLocalHeader = false;  // streamed, but the local header has the real values too

    std::uint16_t dosTime = 0x6000;  // 12:00:00
    std::uint16_t dosDate = 0x5987;  // 7 December 2024
    Bytes extra;                     // extra field, local and central

    std::uint16_t extraFlags = 0;                 // added to the computed flags (e.g. LZMA's bit 1)
    std::optional<std::uint16_t> flagsOverride;   // written in place of the computed flags
    std::optional<std::uint16_t> methodOverride;  // written in place of 0 or 8
    std::optional<Bytes> rawData;                 // written in place of the compressed data
};

EntryToWrite Stored(std::string name, std::string_view content);
EntryToWrite Stored(std::string name, Bytes content);
EntryToWrite Deflated(std::string name, std::string_view content);
EntryToWrite Deflated(std::string name, Bytes content);
// `entry` encrypted with the traditional PKWARE cipher under `password`.
EntryToWrite WithPassword(EntryToWrite entry, std::string password);

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Where one entry's records landed, and the values written for it.
struct EntryLayout {
    std::size_t localHeader = 0;
    std::size_t nameOffset = 0;
    std::size_t extraOffset = 0;
    std::size_t dataStart = 0;
    std::size_t dataEnd = 0;         // one past the last data byte
    std::size_t descriptor = kNone;  // data descriptor, when written
    std::size_t descriptorEnd = kNone;
    std::size_t centralHeader = kNone;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

struct BuildOptions {
    bool centralDirectory = true;  // central headers and end record
};

struct BuiltZip {
    Bytes bytes;
    std::vector<EntryLayout> entries;
    std::size_t centralDirectory = kNone;
    std::size_t endRecord = kNone;
};

BuiltZip BuildZip(const std::vector<EntryToWrite>& entries, const BuildOptions& options = {});

// Raw Deflate (no zlib header), as ZIP method 8 stores it.
// `strategy` is zlib's (0: Z_DEFAULT_STRATEGY); matches may reach into
// `dictionary`, as if the stream went on from it.
Bytes RawDeflate(const Bytes& data, int level = 6, int strategy = 0, const Bytes& dictionary = {});
std::uint32_t Crc32(const Bytes& data);

// Deterministic contents: readable, compressible text, and bytes that do not
// compress. Neither holds the byte pair "PK".
Bytes TextContent(std::string_view seed, std::size_t size);
Bytes NoiseContent(std::uint32_t seed, std::size_t size);

// DOS date and time fields.
std::uint16_t DosDate(int year, int month, int day);
std::uint16_t DosTime(int hour, int minute, int second);

}  // namespace tessaly::testzip
