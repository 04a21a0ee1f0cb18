// Well-formed UTF-8, in one place for every layer: names decoded from an
// archive, JSON text, log text and the fuzz targets' checks all judge bytes
// by it. Overlong forms, surrogates, values past U+10FFFF and sequences cut
// short are not well formed.
#pragma once

#include <cstddef>
#include <string_view>

namespace tessaly {

// The length of the well-formed sequence that starts at `text[i]` (1 for an
// ASCII byte), or 0 when the bytes there start none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

bool IsValidUtf8(std::string_view text);

}  // namespace tessaly
