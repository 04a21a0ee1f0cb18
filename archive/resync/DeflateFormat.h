// The two stream formats a damaged entry can be read on past: Deflate (ZIP
// method 8) and Deflate64 (method 9), which has a 64 KiB window, length
// symbol 285 with 16 extra bits and the distance symbols 30 and 31.
#pragma once

namespace tessaly {

enum class DeflateFormat { Deflate, Deflate64 };

}  // namespace tessaly
