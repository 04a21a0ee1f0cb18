// The names of ZIP compression methods and encryption schemes, for reasons
// a user can act on: "Deflate64 compression is not supported" rather than a
// method number, and which encryption an entry carries.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

class CFileHeader;

// Whether extraction can read the method: stored, or a compressed method
// this build has a decompressor for. The one list every part of the reader
// asks.
bool IsReadableMethod(std::uint16_t method);

// "Deflate64", "BZip2", ...; "method N" for a number no writer is known to use.
std::string CompressionMethodName(std::uint16_t method);

// Why an entry in `method` cannot be extracted, e.g. "Deflate64 compression
// is not supported"; the AES method says so as encryption.
std::string UnsupportedMethodText(std::uint16_t method);

enum class EncryptionScheme { Traditional, WinZipAes, Strong };

// Which scheme an encrypted entry's flags, method and extra field point to.
EncryptionScheme EncryptionSchemeOf(const CFileHeader& entry);
// "traditional PKWARE encryption", "WinZip AES encryption", "strong encryption".
const char* EncryptionSchemeName(EncryptionScheme scheme);

// Whether the entry is encrypted in a scheme a password opens (traditional
// or WinZip AES; strong encryption is not read).
bool PasswordOpens(const CFileHeader& entry);

// "encrypted (traditional PKWARE encryption)", "encrypted (WinZip AES
// encryption)" or "encrypted (strong encryption)": which scheme the entry's
// flags, method and extra field point to.
std::string EncryptionText(const CFileHeader& entry);

// Why the entry cannot be read at all (its encryption or its method), or
// empty when it can. With `passwordsAsked`, encryption a password opens
// does not stop it.
std::string UnreadableReason(const CFileHeader& entry, bool passwordsAsked = false);

}  // namespace tessaly
