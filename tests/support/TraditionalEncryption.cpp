#include "tests/support/TraditionalEncryption.h"

#include <array>

namespace tessaly::testzip {
namespace {

// The CRC-32 step the cipher's keys use: no inversion before or after.
std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t byte) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

class Cipher {
public:
    explicit Cipher(const std::string& password) {
        for (char c : password) Update(static_cast<std::uint8_t>(c));
    }
    std::uint8_t Encrypt(std::uint8_t plain) {
        const std::uint32_t temp = (keys_[2] | 2) & 0xFFFF;
        const auto mask = static_cast<std::uint8_t>((temp * (temp ^ 1)) >> 8);
        Update(plain);
        return plain ^ mask;
    }

private:
    void Update(std::uint8_t byte) {
        keys_[0] = CrcStep(keys_[0], byte);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = CrcStep(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
    }
    std::array<std::uint32_t, 3> keys_{0x12345678u, 0x23456789u, 0x34567890u};
};

}  // namespace

EntryToWrite TraditionallyEncrypted(EntryToWrite entry, const std::string& password, std::uint32_t seed) {
    Bytes plain(12);
    for (std::size_t i = 0; i < 11; ++i) plain[i] = static_cast<std::uint8_t>((seed * 2654435761u) >> (i % 4 * 8)) ^ i;
    plain[11] = static_cast<std::uint8_t>(Crc32(entry.data) >> 24);
    const Bytes payload = entry.method == Method::Deflated ? RawDeflate(entry.data, entry.level) : entry.data;
    plain.insert(plain.end(), payload.begin(), payload.end());
    Cipher cipher(password);
    Bytes encrypted;
    encrypted.reserve(plain.size());
    for (std::uint8_t byte : plain) encrypted.push_back(cipher.Encrypt(byte));
    entry.rawData = std::move(encrypted);
    entry.encrypted = true;
    return entry;
}

}  // namespace tessaly::testzip
