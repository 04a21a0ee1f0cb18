// Writes a new ZIP archive front to back into one open file: each entry's
// local header and data, then the central directory and the end records.
// ZIP64 fields and records are written where a size, an offset or the entry
// count needs them, and nowhere else. Only the central records wait in
// memory until the end; the data passes straight through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

class CFile;

// One entry's records as they are to be written.
struct NewEntry {
    std::string name;                  // "/" between folders; a folder's name ends in "/"
    std::uint16_t versionMadeBy = 20;  // high byte: the system the attributes are for
    std::uint16_t versionNeeded = 20;  // without ZIP64, which adds what it needs
    std::uint16_t flags = 0;           // bit 3: a data descriptor follows the data
    std::uint16_t method = 0;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;  // for BeginEntry: the final size, or a bound when EndEntry gives it
    std::uint64_t uncompressedSize = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::vector<std::uint8_t> extra;  // whole extra blocks, none of them ZIP64
    std::string comment;
};

class ArchiveWriter {
public:
    // Writes at the start of `file`, which must be empty and open for
    // writing and reading.
    explicit ArchiveWriter(CFile& file);

    // Writes the entry's local header. Its CRC-32 and compressed size may
    // still change in EndEntry; its uncompressed size may not.
    void BeginEntry(const NewEntry& entry);
    void WriteData(const void* bytes, std::size_t size);
    // Ends the entry begun last with its final CRC-32 and compressed size,
    // rewriting the local header where they differ from what it says, or
    // writing the data descriptor when the entry has one.
    void EndEntry(std::uint32_t crc32, std::uint64_t compressedSize);

    // Takes the entry begun last out again, as if it had never begun.
    void AbandonEntry();

    // Writes the central directory and the end records, with the archive's
    // comment (cut at 65535 bytes, and before any end-record signature in
    // it, which readers searching back from the end would take for the
    // record itself).
    void Finish(const std::string& comment);

    std::uint64_t Position() const { return position_; }
    std::uint32_t Count() const { return count_; }

private:
    void Write(const std::vector<std::uint8_t>& bytes);
    void WriteLocalHeader();
    void AddCentralRecord();

    CFile& file_;
    std::uint64_t position_ = 0;
    std::uint32_t count_ = 0;
    NewEntry current_;
    std::uint64_t currentOffset_ = 0;
    bool localZip64_ = false;
    std::vector<std::uint8_t> central_;  // the central records so far
};

}  // namespace tessaly
