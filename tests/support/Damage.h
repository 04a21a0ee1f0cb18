// Ways to damage an archive the writer built, at precise places: cut it,
// zero or flip bytes, put a stub in front, overwrite header fields, lose the
// central directory. Every helper clamps to the archive's bytes, so a
// damage beyond the end changes nothing rather than failing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

// Offsets of the fields a test may overwrite, from the start of the record.
enum class LocalField : std::size_t {
    Signature = 0,
    Flags = 6,
    Method = 8,
    ModTime = 10,
    ModDate = 12,
    Crc32 = 14,
    CompressedSize = 18,
    UncompressedSize = 22,
    NameLength = 26,
    ExtraLength = 28,
};

enum class CentralField : std::size_t {
    Signature = 0,
    CompressedSize = 20,
    NameLength = 28,
    LocalHeaderOffset = 42,
};

// 16-bit fields get the low 16 bits of `value`.
void SetLocalField(Bytes& bytes, const EntryLayout& entry, LocalField field, std::uint32_t value);
void SetCentralField(Bytes& bytes, const EntryLayout& entry, CentralField field, std::uint32_t value);

void TruncateAt(Bytes& bytes, std::size_t size);
void ZeroRange(Bytes& bytes, std::size_t offset, std::size_t count);
void FillRange(Bytes& bytes, std::size_t offset, std::size_t count, std::uint8_t value);
void FlipBits(Bytes& bytes, std::size_t offset, std::uint8_t mask);
void Overwrite(Bytes& bytes, std::size_t offset, const Bytes& with);

// Puts `stub` in front of the archive and moves every recorded offset with
// it. With `adjustCentralOffsets` the central records' local-header offsets
// are moved too, as a self-extractor's builder does; without, they point
// `stub.size()` bytes too early.
void PrependStub(BuiltZip& zip, const Bytes& stub, bool adjustCentralOffsets);

// Cuts the archive where its central directory began.
void DropCentralDirectory(BuiltZip& zip);

// Deterministic filler without the byte 'P', so it can hold no signature.
Bytes Garbage(std::size_t size, std::uint32_t seed = 1);

// What a transfer in text (ASCII) mode makes of a binary file: every LF
// byte becomes CR LF, across the whole archive.
Bytes TextModeTransfer(const Bytes& bytes);

}  // namespace tessaly::testzip
