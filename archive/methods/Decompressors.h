// The decompressors this build has, one maker per compressed method, and
// the memory a stream's header may ask for. MakeDecompressor
// (archive/Decompressor.h) picks among them by method; a method whose
// library was not found when the build was configured has no maker here and
// reads as not supported.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/methods/Decompressor.h"

namespace tessaly {

// Whether MakeDecompressor gives a decompressor for `method`.
bool HasDecompressor(std::uint16_t method);

// A dictionary or window larger than this is refused rather than allocated:
// a hostile header must not decide how much memory extraction takes (up to
// four entries are extracted at once). 256 MiB is four times what the
// strongest settings of common writers use.
constexpr std::uint64_t kMaxDictionarySize = std::uint64_t{256} << 20;

// "300 MiB": sizes in the reasons given for refused streams.
std::string MebibyteText(std::uint64_t bytes);

// Whether `bytes` (n of them) are the start of `magic`: yes, no, or cannot
// tell yet. Used to tell a further stream (a concatenated bzip2 stream, xz
// stream or Zstandard frame) from what follows an entry's data.
enum class Follows { Yes, No, NeedMore };
Follows StartsWithMagic(const std::uint8_t* bytes, std::size_t n, const std::uint8_t* magic, std::size_t magicLength);

// One maker per decoder, each in its own source file.
std::unique_ptr<Decompressor> MakeZlibInflater();
// What method 8 is read with, for an entry of that size when it is known.
std::unique_ptr<Decompressor> MakeDeflateDecompressor(std::optional<std::uint64_t> uncompressedSize);
std::unique_ptr<Decompressor> MakeBZip2Decompressor();
std::unique_ptr<Decompressor> MakeLzmaDecompressor(const StreamParameters& parameters);
std::unique_ptr<Decompressor> MakeXzDecompressor();
std::unique_ptr<Decompressor> MakeZstdDecompressor();

}  // namespace tessaly
