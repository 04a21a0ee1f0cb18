// Turning a log text into the bytes the activity log holds: the character
// set of the user's locale (normally UTF-8; the system's ANSI code page on
// Windows), "?" for every character that set cannot represent, and a cut
// after at most a given number of bytes that never splits a character.
#pragma once

#include <cstddef>
#include <string>

namespace tessaly {

// `text` is UTF-8; bytes that are not valid UTF-8 count as one unknown
// character each. A NUL character ends the text.
std::string EncodeLogText(const std::string& text, std::size_t maxBytes);

}  // namespace tessaly
