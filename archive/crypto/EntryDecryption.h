// The decryption of one entry's data: the common face of the two encryption
// schemes a password opens. Each scheme frames the data its own way (an
// encryption header in front of it, for AES an authentication code after
// it, all inside the entry's compressed size); the entry decoder reads the
// bytes between and has them decrypted in place as they arrive, before they
// go to the decompressor or, for stored data, to the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessaly {

class CFileHeader;

class EntryDecryption {
public:
    EntryDecryption() = default;
    EntryDecryption(const EntryDecryption&) = delete;
    EntryDecryption& operator=(const EntryDecryption&) = delete;
    virtual ~EntryDecryption() = default;

    // Bytes of framing in front of the encrypted data and after it.
    virtual std::size_t HeaderSize() const = 0;
    virtual std::size_t TrailerSize() const = 0;

    // Takes the framing in front of the data (HeaderSize() bytes) and checks
    // the password against it; false for a wrong password.
    virtual bool Start(const std::uint8_t* header) = 0;

    // Decrypts the next `size` bytes of the data in place.
    virtual void Decrypt(std::uint8_t* data, std::size_t size) = 0;

    // "traditional PKWARE encryption" or "WinZip AES encryption".
    virtual const char* SchemeName() const = 0;
};

// The 0x9901 extra field of an AES-encrypted entry (method 99).
struct AesExtraField {
    std::uint16_t vendorVersion = 0;  // 1: AE-1 (CRC-32 stored), 2: AE-2 (CRC-32 0)
    std::uint8_t strength = 0;        // 1, 2, 3: 128, 192, 256-bit keys
    std::uint16_t method = 0;         // the compression method of the data
};

constexpr std::uint16_t kMethodAes = 99;
constexpr std::uint16_t kAesExtraId = 0x9901;

// The AES field in an extra field's blocks, when there is a well-formed one.
std::optional<AesExtraField> FindAesExtraField(const std::uint8_t* extra, std::size_t size);

}  // namespace tessaly
