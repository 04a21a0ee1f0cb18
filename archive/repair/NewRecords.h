// What a repaired archive says of an entry the salvage found: its name made
// safe, the extra blocks that are well formed, the version a reader needs,
// and the rest of the fields the original records declare.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/FileHeader.h"
#include "archive/crypto/EntryDecryption.h"
#include "archive/repair/ArchiveWriter.h"

namespace tessaly {

// The stored name with "/" between its components, and without a drive,
// a leading "/", "." or ".." components, so that no reader of the new
// archive is led outside its folder; a folder's name ends in "/". Empty
// when nothing is left.
std::string RepairedName(const CFileHeader& entry);

// The extra field's blocks up to the first malformed one, without ZIP64
// blocks (the writer adds its own) and without an AES block, which `aes`
// (the field extraction reads, when the entry has one) replaces.
std::vector<std::uint8_t> WellFormedExtra(const std::vector<std::uint8_t>& extra,
                                          const std::optional<AesExtraField>& aes);

// The version a reader needs for the method and encryption.
std::uint16_t VersionNeededFor(std::uint16_t method, bool encrypted);

// The entry's records with the name, times and attributes it declares and
// the given data fields. The UTF-8 flag is set for any name that is not
// plain ASCII (names are held as UTF-8); the descriptor flag is dropped
// unless `descriptor`.
NewEntry RecordFor(const CFileHeader& entry, const std::string& name, std::uint16_t method, bool descriptor);

}  // namespace tessaly
