// The cryptographic primitives from Nettle.
#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>

#include <stdexcept>

#include "platform/Crypto.h"

namespace tessaly::crypto {

void Pbkdf2HmacSha1(std::string_view password, const std::uint8_t* salt, std::size_t saltSize, unsigned iterations,
                    std::uint8_t* output, std::size_t outputSize) {
    pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const std::uint8_t*>(password.data()), iterations, saltSize,
                     salt, outputSize, output);
}

struct AesEncryptor::State {
    std::size_t keySize = 0;
    union {
        aes128_ctx aes128;
        aes192_ctx aes192;
        aes256_ctx aes256;
    };
};

AesEncryptor::AesEncryptor(const std::uint8_t* key, std::size_t keySize) : state_(std::make_unique<State>()) {
    state_->keySize = keySize;
    switch (keySize) {
        case AES128_KEY_SIZE: aes128_set_encrypt_key(&state_->aes128, key); break;
        case AES192_KEY_SIZE: aes192_set_encrypt_key(&state_->aes192, key); break;
        case AES256_KEY_SIZE: aes256_set_encrypt_key(&state_->aes256, key); break;
        default: throw std::invalid_argument("AES takes a key of 16, 24 or 32 bytes");
    }
}

AesEncryptor::~AesEncryptor() = default;

void AesEncryptor::EncryptBlocks(const std::uint8_t* input, std::uint8_t* output, std::size_t blocks) {
    const std::size_t length = blocks * AES_BLOCK_SIZE;
    switch (state_->keySize) {
        case AES128_KEY_SIZE: aes128_encrypt(&state_->aes128, length, output, input); break;
        case AES192_KEY_SIZE: aes192_encrypt(&state_->aes192, length, output, input); break;
        default: aes256_encrypt(&state_->aes256, length, output, input); break;
    }
}

struct HmacSha1::State {
    hmac_sha1_ctx context;
};

HmacSha1::HmacSha1(const std::uint8_t* key, std::size_t keySize) : state_(std::make_unique<State>()) {
    hmac_sha1_set_key(&state_->context, keySize, key);
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Update(const std::uint8_t* data, std::size_t size) { hmac_sha1_update(&state_->context, size, data); }

void HmacSha1::Finish(std::uint8_t digest[kDigestSize]) { hmac_sha1_digest(&state_->context, kDigestSize, digest); }

}  // namespace tessaly::crypto
