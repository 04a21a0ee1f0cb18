// Entry names: decoding the stored bytes, the junk-name rule, and turning a
// name into a path that stays inside the destination folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaly {

// Decodes a stored name to UTF-8. Bytes up to the first NUL count. With the
// UTF-8 flag, or when the bytes are valid UTF-8, they are taken as UTF-8;
// otherwise each byte is read as code page 437, the ZIP default, so no name
// is ever lost to a decoding error.
std::string DecodeEntryName(const std::uint8_t* bytes, std::size_t length, bool utf8Flag);

// A name saving can write: something is left of it below the destination
// and it is not junk.
bool IsUsableName(const std::string& name);

// A name is junk when it holds a control character or a record signature
// swallowed into it ("PK" followed by a byte from 1 to 8): the leftovers of
// reading a header at a false position.
bool IsJunkName(const std::string& name);

// The entry name as a relative path below the destination: `/` and `\` both
// separate components; a drive part, empty, "." and ".." components are
// dropped, so the result can never leave the destination. Empty when nothing
// is left.
std::filesystem::path SafeRelativePath(const std::string& name);
// The same components as UTF-8 text, in order.
std::vector<std::string> SafeComponents(const std::string& name);

}  // namespace tessaly
