// The cryptographic primitives the ZIP encryption schemes are built from,
// taken from the system's cryptographic library (Nettle on POSIX systems,
// the operating system's own on Windows). Only ZIP framing is written here;
// no primitive is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace tessaly::crypto {

// PBKDF2 with HMAC-SHA1: `outputSize` bytes derived from `password` and
// `salt` in `iterations` rounds.
void Pbkdf2HmacSha1(std::string_view password, const std::uint8_t* salt, std::size_t saltSize, unsigned iterations,
                    std::uint8_t* output, std::size_t outputSize);

// AES with a 16, 24 or 32-byte key, encrypting single 16-byte blocks (the
// counter mode built on it is the caller's: ZIP's counter is little-endian).
class AesEncryptor {
public:
    explicit AesEncryptor(const std::uint8_t* key, std::size_t keySize);
    AesEncryptor(const AesEncryptor&) = delete;
    AesEncryptor& operator=(const AesEncryptor&) = delete;
    ~AesEncryptor();

    // Encrypts `blocks` consecutive 16-byte blocks from `input` to `output`.
    void EncryptBlocks(const std::uint8_t* input, std::uint8_t* output, std::size_t blocks);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// HMAC-SHA1, fed in pieces.
class HmacSha1 {
public:
    static constexpr std::size_t kDigestSize = 20;

    HmacSha1(const std::uint8_t* key, std::size_t keySize);
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;
    ~HmacSha1();

    void Update(const std::uint8_t* data, std::size_t size);
    void Finish(std::uint8_t digest[kDigestSize]);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tessaly::crypto
