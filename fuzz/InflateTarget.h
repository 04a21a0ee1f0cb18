// The inflate fuzz target's work: the ISA-L inflater against zlib's. After
// the two bytes that choose the pieces, the input is raw Deflate data that
// follows a stored block of kInflatePrefixSize bytes of text, so ISA-L is
// reached at once (it takes no block before 32 KiB of output) and
// distances can reach back into known bytes. IsalInflater must give what
// ZlibInflater gives, whole and in pieces: the same bytes, end, input taken
// and break, whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/PieceDecoding.h"

namespace tessaly::fuzz {

constexpr std::size_t kInflatePrefixSize = 40000;

// The text the stored block holds.
std::vector<std::uint8_t> InflatePrefixText();

// The target: returns what differs, empty when nothing does. `isalDecoded`,
// when given, gets ISA-L's decoding of the whole input, and `isalBytes` how
// many of its bytes ISA-L itself gave.
std::string CheckInflate(const std::uint8_t* data, std::size_t size, DecodeResult* isalDecoded = nullptr,
                         std::uint64_t* isalBytes = nullptr);

}  // namespace tessaly::fuzz
