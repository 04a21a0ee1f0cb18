#include "tests/support/ZipCrypt.h"

#include <cstring>

#include "platform/Crypto.h"

namespace tessaly::testzip {
namespace {

// The traditional cipher's three keys, advanced by each plaintext byte.
class TraditionalKeys {
public:
    explicit TraditionalKeys(std::string_view password) {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table_[n] = c;
        }
        for (char c : password) Update(static_cast<std::uint8_t>(c));
    }

    std::uint8_t Encrypt(std::uint8_t plain) {
        const std::uint32_t t = (keys_[2] | 2u) & 0xFFFFu;
        const auto cipher = static_cast<std::uint8_t>(plain ^ ((t * (t ^ 1u)) >> 8));
        Update(plain);
        return cipher;
    }

private:
    std::uint32_t Crc(std::uint32_t crc, std::uint8_t byte) const { return table_[(crc ^ byte) & 0xFF] ^ (crc >> 8); }

    void Update(std::uint8_t plain) {
        keys_[0] = Crc(keys_[0], plain);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = Crc(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
    }

    std::uint32_t table_[256];
    std::uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

Bytes SeededBytes(std::uint32_t seed, std::size_t size) {
    Bytes out(size);
    std::uint32_t state = seed * 747796405u + 2891336453u;
    for (auto& byte : out) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

}  // namespace

Bytes TraditionalEncrypt(std::string_view password, std::uint8_t checkByte, const Bytes& data, std::uint32_t seed) {
    Bytes plain = SeededBytes(seed, 11);
    plain.push_back(checkByte);
    plain.insert(plain.end(), data.begin(), data.end());
    TraditionalKeys keys(password);
    for (auto& byte : plain) byte = keys.Encrypt(byte);
    return plain;
}

Bytes AesEncrypt(std::string_view password, int strength, const Bytes& data, std::uint32_t seed) {
    const std::size_t keySize = 8 + 8 * static_cast<std::size_t>(strength);
    const std::size_t saltSize = 4 + 4 * static_cast<std::size_t>(strength);
    Bytes out = SeededBytes(seed, saltSize);
    Bytes derived(2 * keySize + 2);
    crypto::Pbkdf2HmacSha1(password, out.data(), saltSize, 1000, derived.data(), derived.size());
    out.insert(out.end(), derived.end() - 2, derived.end());

    crypto::AesEncryptor aes(derived.data(), keySize);
    const std::size_t dataStart = out.size();
    out.insert(out.end(), data.begin(), data.end());
    std::uint8_t counter[16] = {};
    std::uint8_t block[16];
    for (std::size_t at = 0; at < data.size(); at += 16) {
        for (int i = 0; i < 16 && ++counter[i] == 0; ++i) {
        }
        aes.EncryptBlocks(counter, block, 1);
        for (std::size_t i = 0; i < 16 && at + i < data.size(); ++i) out[dataStart + at + i] ^= block[i];
    }

    crypto::HmacSha1 mac(derived.data() + keySize, keySize);
    mac.Update(out.data() + dataStart, data.size());
    std::uint8_t digest[crypto::HmacSha1::kDigestSize];
    mac.Finish(digest);
    out.insert(out.end(), digest, digest + 10);
    return out;
}

Bytes AesExtra(int vendorVersion, int strength, std::uint16_t method) {
    return Bytes{0x01,
                 0x99,
                 7,
                 0,
                 static_cast<std::uint8_t>(vendorVersion),
                 0,
                 'A',
                 'E',
                 static_cast<std::uint8_t>(strength),
                 static_cast<std::uint8_t>(method),
                 static_cast<std::uint8_t>(method >> 8)};
}

}  // namespace tessaly::testzip
