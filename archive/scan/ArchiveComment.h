// The archive's comment, from the end record at the end of the file. The
// salvage never needs the end record; a writer of a new archive keeps the
// comment.
#pragma once

#include <string>

namespace tessaly {

class CZipStorage;

// The comment of the last end record whose comment runs to the end of the
// file (or, failing that, fits in it), searched for in the last 64 KiB and
// 22 bytes; empty when there is none. The bytes are as stored.
std::string FindArchiveComment(CZipStorage& storage);

}  // namespace tessaly
