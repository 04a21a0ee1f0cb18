#include "archive/crypto/TraditionalDecryption.h"

#include <zlib.h>

#include "archive/FileHeader.h"

namespace tessaly {

TraditionalDecryption::TraditionalDecryption(std::string_view password, std::uint8_t checkByte)
    : crcTable_(reinterpret_cast<const std::uint32_t*>(get_crc_table())),
      keys_{0x12345678u, 0x23456789u, 0x34567890u},
      checkByte_(checkByte) {
    for (char c : password) Update(static_cast<std::uint8_t>(c));
}

std::uint8_t TraditionalDecryption::CheckByteOf(const CFileHeader& entry) {
    return entry.HasDescriptorFlag() ? static_cast<std::uint8_t>(entry.modTime >> 8)
                                     : static_cast<std::uint8_t>(entry.crc32 >> 24);
}

bool TraditionalDecryption::Start(const std::uint8_t* header) {
    std::uint8_t bytes[kHeaderSize];
    for (std::size_t i = 0; i < kHeaderSize; ++i) bytes[i] = header[i];
    Decrypt(bytes, kHeaderSize);
    return bytes[kHeaderSize - 1] == checkByte_;
}

void TraditionalDecryption::Decrypt(std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const auto plain = static_cast<std::uint8_t>(data[i] ^ KeyStreamByte());
        data[i] = plain;
        Update(plain);
    }
}

// One step of the key schedule: the first key is a CRC-32 of the bytes, the
// second a linear congruential mix of it, the third a CRC-32 of that.
void TraditionalDecryption::Update(std::uint8_t plain) {
    keys_[0] = crcTable_[(keys_[0] ^ plain) & 0xFF] ^ (keys_[0] >> 8);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = crcTable_[(keys_[2] ^ (keys_[1] >> 24)) & 0xFF] ^ (keys_[2] >> 8);
}

std::uint8_t TraditionalDecryption::KeyStreamByte() const {
    const std::uint32_t t = (keys_[2] | 2u) & 0xFFFFu;
    return static_cast<std::uint8_t>((t * (t ^ 1u)) >> 8);
}

}  // namespace tessaly
