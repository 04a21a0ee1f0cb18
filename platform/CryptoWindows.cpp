// The cryptographic primitives from Windows' own CNG library (bcrypt.dll):
// PBKDF2 and HMAC over its SHA-1 provider opened for HMAC, AES in ECB mode
// over single blocks. Compiled on Windows only.
#include <windows.h>
// bcrypt.h needs the types windows.h declares.
#include <bcrypt.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Crypto.h"

namespace tessaly::crypto {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

void Check(NTSTATUS status, const char* what) {
    if (!Succeeded(status)) {
        char code[16];
        std::snprintf(code, sizeof code, "%08lx", static_cast<unsigned long>(status));
        throw std::runtime_error(std::string("cryptography: ") + what + " failed (status 0x" + code + ")");
    }
}

// An algorithm provider, closed when it goes.
class Provider {
public:
    Provider(const wchar_t* algorithm, ULONG flags) {
        Check(::BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, flags), "opening the algorithm");
    }
    ~Provider() { ::BCryptCloseAlgorithmProvider(handle_, 0); }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

PUCHAR Bytes(const std::uint8_t* bytes) { return const_cast<PUCHAR>(reinterpret_cast<const UCHAR*>(bytes)); }

ULONG Size(std::size_t size) {
    if (size > 0xFFFFFFFFu) throw std::length_error("cryptography: input too large");
    return static_cast<ULONG>(size);
}

}  // namespace

void Pbkdf2HmacSha1(std::string_view password, const std::uint8_t* salt, std::size_t saltSize, unsigned iterations,
                    std::uint8_t* output, std::size_t outputSize) {
    Provider sha1(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    Check(::BCryptDeriveKeyPBKDF2(sha1.get(), Bytes(reinterpret_cast<const std::uint8_t*>(password.data())),
                                  Size(password.size()), Bytes(salt), Size(saltSize), iterations, output,
                                  Size(outputSize), 0),
          "PBKDF2");
}

struct AesEncryptor::State {
    Provider aes{BCRYPT_AES_ALGORITHM, 0};
    BCRYPT_KEY_HANDLE key = nullptr;
    ~State() {
        if (key != nullptr) ::BCryptDestroyKey(key);
    }
};

AesEncryptor::AesEncryptor(const std::uint8_t* key, std::size_t keySize) : state_(std::make_unique<State>()) {
    if (keySize != 16 && keySize != 24 && keySize != 32)
        throw std::invalid_argument("AES: the key must be 16, 24 or 32 bytes long");
    wchar_t ecb[] = BCRYPT_CHAIN_MODE_ECB;
    Check(::BCryptSetProperty(state_->aes.get(), BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(ecb), sizeof ecb, 0),
          "choosing ECB mode");
    Check(::BCryptGenerateSymmetricKey(state_->aes.get(), &state_->key, nullptr, 0, Bytes(key), Size(keySize), 0),
          "making the AES key");
}

AesEncryptor::~AesEncryptor() = default;

void AesEncryptor::EncryptBlocks(const std::uint8_t* input, std::uint8_t* output, std::size_t blocks) {
    if (blocks == 0) return;
    ULONG written = 0;
    const ULONG size = Size(blocks * 16);
    Check(::BCryptEncrypt(state_->key, Bytes(input), size, nullptr, nullptr, 0, output, size, &written, 0),
          "AES encryption");
    if (written != size) throw std::runtime_error("cryptography: AES encryption wrote a short block");
}

struct HmacSha1::State {
    Provider sha1{BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG};
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~State() {
        if (hash != nullptr) ::BCryptDestroyHash(hash);
    }
};

HmacSha1::HmacSha1(const std::uint8_t* key, std::size_t keySize) : state_(std::make_unique<State>()) {
    Check(::BCryptCreateHash(state_->sha1.get(), &state_->hash, nullptr, 0, Bytes(key), Size(keySize), 0),
          "making the HMAC");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Update(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    Check(::BCryptHashData(state_->hash, Bytes(data), Size(size), 0), "HMAC update");
}

void HmacSha1::Finish(std::uint8_t digest[kDigestSize]) {
    Check(::BCryptFinishHash(state_->hash, digest, kDigestSize, 0), "HMAC finish");
}

}  // namespace tessaly::crypto
