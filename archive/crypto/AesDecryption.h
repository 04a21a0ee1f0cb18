// WinZip AES encryption: keys derived from the password and a salt with
// PBKDF2-HMAC-SHA1 (1000 rounds), AES in counter mode with a little-endian
// counter starting at 1, and an HMAC-SHA1 over the encrypted data whose
// first 10 bytes follow the data. In front of the data: the salt (8, 12 or
// 16 bytes for 128, 192 or 256-bit keys) and a 2-byte password verifier
// that tells a wrong password in all but one case of 65536.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "archive/crypto/EntryDecryption.h"
#include "platform/Crypto.h"

namespace tessaly {

class AesDecryption : public EntryDecryption {
public:
    static constexpr std::size_t kVerifierSize = 2;
    static constexpr std::size_t kCodeSize = 10;
    static constexpr unsigned kIterations = 1000;

    // `field.strength` must be 1, 2 or 3 (IsValidStrength).
    AesDecryption(std::string_view password, const AesExtraField& field);
    ~AesDecryption() override;

    static bool IsValidStrength(std::uint8_t strength) { return strength >= 1 && strength <= 3; }
    static std::size_t KeySize(std::uint8_t strength) { return 8 + 8 * std::size_t{strength}; }
    static std::size_t SaltSize(std::uint8_t strength) { return 4 + 4 * std::size_t{strength}; }

    std::size_t HeaderSize() const override { return SaltSize(field_.strength) + kVerifierSize; }
    std::size_t TrailerSize() const override { return kCodeSize; }
    bool Start(const std::uint8_t* header) override;
    void Decrypt(std::uint8_t* data, std::size_t size) override;
    const char* SchemeName() const override { return "WinZip AES encryption"; }

    // AE-2 stores a CRC-32 of 0: only the authentication code can judge the data.
    bool ChecksCrc() const { return field_.vendorVersion != 2; }

    // How many bytes of encrypted data the authentication code covers, when
    // known: Decrypt feeds the code only those, for a decompressor reads on
    // past its stream. Without a length nothing is fed as it is decrypted.
    void SetAuthenticatedLength(std::optional<std::uint64_t> length) { authLimit_ = length.value_or(0); }
    // Encrypted bytes the code has been fed so far.
    std::uint64_t Authenticated() const { return authenticated_; }
    // Feeds the code more encrypted bytes, those after Authenticated().
    void Authenticate(const std::uint8_t* encrypted, std::size_t size);
    // Whether the code stored after the data is the one computed.
    bool CodeMatches(const std::uint8_t stored[kCodeSize]);

private:
    void RefillKeyStream();

    static constexpr std::size_t kBatchBlocks = 64;
    static constexpr std::size_t kBlockSize = 16;

    std::string password_;  // forgotten once the keys are made
    AesExtraField field_;
    std::unique_ptr<crypto::AesEncryptor> cipher_;
    std::unique_ptr<crypto::HmacSha1> mac_;
    std::uint64_t counterLow_ = 0;  // the counter's low and high 64 bits
    std::uint64_t counterHigh_ = 0;
    std::uint8_t counters_[kBatchBlocks * kBlockSize];
    std::uint8_t keyStream_[kBatchBlocks * kBlockSize];
    std::size_t keyStreamUsed_ = sizeof keyStream_;
    std::uint64_t authLimit_ = 0;
    std::uint64_t authenticated_ = 0;
};

}  // namespace tessaly
