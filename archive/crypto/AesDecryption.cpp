#include "archive/crypto/AesDecryption.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tessaly {

namespace {
// data ^= key, eight bytes at a time where it can (the compiler cannot tell
// that the two do not overlap, so a byte loop stays a byte loop).
void XorInto(std::uint8_t* data, const std::uint8_t* key, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, data + i, 8);
        std::memcpy(&b, key + i, 8);
        a ^= b;
        std::memcpy(data + i, &a, 8);
    }
    for (; i < size; ++i) data[i] ^= key[i];
}

void StoreLittleEndian64(std::uint8_t* out, std::uint64_t value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
#else
    std::memcpy(out, &value, 8);  // the host is little-endian
#endif
}
}  // namespace

AesDecryption::AesDecryption(std::string_view password, const AesExtraField& field)
    : password_(password), field_(field) {}

AesDecryption::~AesDecryption() { std::fill(password_.begin(), password_.end(), '\0'); }

// The derived bytes are the AES key, the HMAC key and the verifier, in
// that order.
bool AesDecryption::Start(const std::uint8_t* header) {
    const std::size_t keySize = KeySize(field_.strength);
    const std::size_t saltSize = SaltSize(field_.strength);
    std::vector<std::uint8_t> derived(2 * keySize + kVerifierSize);
    crypto::Pbkdf2HmacSha1(password_, header, saltSize, kIterations, derived.data(), derived.size());
    std::fill(password_.begin(), password_.end(), '\0');
    password_.clear();
    const bool verified = std::memcmp(derived.data() + 2 * keySize, header + saltSize, kVerifierSize) == 0;
    if (verified) {
        cipher_ = std::make_unique<crypto::AesEncryptor>(derived.data(), keySize);
        mac_ = std::make_unique<crypto::HmacSha1>(derived.data() + keySize, keySize);
        counterLow_ = counterHigh_ = 0;
        keyStreamUsed_ = sizeof keyStream_;
        authenticated_ = 0;
    }
    std::fill(derived.begin(), derived.end(), std::uint8_t{0});
    return verified;
}

void AesDecryption::Decrypt(std::uint8_t* data, std::size_t size) {
    if (authenticated_ < authLimit_) {
        const auto fed = static_cast<std::size_t>(std::min<std::uint64_t>(size, authLimit_ - authenticated_));
        Authenticate(data, fed);
    }
    while (size > 0) {
        if (keyStreamUsed_ == sizeof keyStream_) RefillKeyStream();
        const std::size_t n = std::min(size, sizeof keyStream_ - keyStreamUsed_);
        XorInto(data, keyStream_ + keyStreamUsed_, n);
        keyStreamUsed_ += n;
        data += n;
        size -= n;
    }
}

// The next counter blocks, encrypted. The counter is one little-endian
// number over the whole block; the first block uses 1. (It is kept in two
// words rather than in the block's bytes: a wide read of bytes just written
// one at a time stalls the processor.)
void AesDecryption::RefillKeyStream() {
    // Local copies: the byte stores could otherwise change the members, so
    // the compiler would read them again after every byte.
    std::uint64_t low = counterLow_;
    std::uint64_t high = counterHigh_;
    for (std::size_t b = 0; b < kBatchBlocks; ++b) {
        if (++low == 0) ++high;
        StoreLittleEndian64(counters_ + b * kBlockSize, low);
        StoreLittleEndian64(counters_ + b * kBlockSize + 8, high);
    }
    counterLow_ = low;
    counterHigh_ = high;
    cipher_->EncryptBlocks(counters_, keyStream_, kBatchBlocks);
    keyStreamUsed_ = 0;
}

void AesDecryption::Authenticate(const std::uint8_t* encrypted, std::size_t size) {
    if (size == 0) return;
    mac_->Update(encrypted, size);
    authenticated_ += size;
}

bool AesDecryption::CodeMatches(const std::uint8_t stored[kCodeSize]) {
    std::uint8_t digest[crypto::HmacSha1::kDigestSize];
    mac_->Finish(digest);
    return std::memcmp(digest, stored, kCodeSize) == 0;
}

}  // namespace tessaly
