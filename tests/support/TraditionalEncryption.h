// Entries encrypted with the traditional PKWARE stream cipher, for tests of
// password handling: the writer frames them, this encrypts their data.
#pragma once

#include <string>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

// `entry` with its (stored or deflated) data encrypted under `password`:
// the 12-byte encryption header (its last byte the CRC-32's high byte, as
// for an entry whose CRC-32 is in the local header) and the data, in
// rawData, and the encryption flag set. `seed` varies the header's bytes.
EntryToWrite TraditionallyEncrypted(EntryToWrite entry, const std::string& password, std::uint32_t seed = 1);

}  // namespace tessaly::testzip
