// Test-side encryption of entry data, the way ZIP writers encrypt: the
// traditional PKWARE stream cipher with its 12-byte header, and WinZip AES
// (salt, password verifier, AES-CTR data, HMAC-SHA1 code) on the system's
// cryptographic primitives.
#pragma once

#include <cstdint>
#include <string_view>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

// The encryption header (11 bytes from `seed`, then `checkByte`) and the
// data, encrypted.
Bytes TraditionalEncrypt(std::string_view password, std::uint8_t checkByte, const Bytes& data, std::uint32_t seed);

// Salt (from `seed`), verifier, encrypted data and authentication code;
// `strength` 1, 2 or 3 for 128, 192 or 256-bit keys.
Bytes AesEncrypt(std::string_view password, int strength, const Bytes& data, std::uint32_t seed);

// The 0x9901 extra field for an AES entry whose data is in `method`.
Bytes AesExtra(int vendorVersion, int strength, std::uint16_t method);

}  // namespace tessaly::testzip
