// The authentication code of an AES entry covers the encrypted data as
// written: a mismatch means the data is not what was encrypted (the CRC-32
// of AE-2 entries is 0, so for them this is the only check).
#pragma once

#include <cstdint>

#include "archive/EntryVerdict.h"

namespace tessaly {

class AesDecryption;
class CZipStorage;

// The verdict on an AES entry once its code is checked: `length` bytes of
// encrypted data from `dataStart` are covered, the code follows them. The
// part of the data the decoder did not read is read here, unless the
// verdict already says the data is damaged: a crafted archive of many
// entries claiming the same data would make that a read of the archive per
// entry.
EntryVerdict AuthenticatedVerdict(AesDecryption& aes, CZipStorage& storage, std::uint64_t dataStart,
                                  std::uint64_t length, EntryVerdict verdict);

}  // namespace tessaly
