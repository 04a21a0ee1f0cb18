// Traditional PKWARE encryption: a stream cipher keyed by three 32-bit
// words that the password, then every plaintext byte, update. A 12-byte
// encryption header in front of the data starts the stream; its last byte,
// decrypted, must equal the check byte the writer put there (the high byte
// of the CRC-32, or of the DOS time when the sizes follow the data), which
// tells a wrong password in all but one case of 256.
#pragma once

#include <cstdint>
#include <string_view>

#include "archive/crypto/EntryDecryption.h"

namespace tessaly {

class TraditionalDecryption : public EntryDecryption {
public:
    static constexpr std::size_t kHeaderSize = 12;

    TraditionalDecryption(std::string_view password, std::uint8_t checkByte);

    // The check byte for an entry: from its time when the descriptor flag is
    // set, else from its CRC-32.
    static std::uint8_t CheckByteOf(const CFileHeader& entry);

    std::size_t HeaderSize() const override { return kHeaderSize; }
    std::size_t TrailerSize() const override { return 0; }
    bool Start(const std::uint8_t* header) override;
    void Decrypt(std::uint8_t* data, std::size_t size) override;
    const char* SchemeName() const override { return "traditional PKWARE encryption"; }

private:
    void Update(std::uint8_t plain);
    std::uint8_t KeyStreamByte() const;

    const std::uint32_t* crcTable_;
    std::uint32_t keys_[3];
    std::uint8_t checkByte_;
};

}  // namespace tessaly
