// The cryptographic primitives against published test vectors: RFC 6070
// (PBKDF2-HMAC-SHA1), FIPS-197 appendix C (AES) and RFC 2202 (HMAC-SHA1).
// The same cases run against whichever library the platform links.
#include "platform/Crypto.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::platformtest {
namespace {

using Octets = std::vector<std::uint8_t>;

Octets FromHex(const std::string& hex) {
    Octets bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

Octets FromText(const std::string& text) { return Octets(text.begin(), text.end()); }

Octets Counting(std::size_t n) {
    Octets bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

TEST(Crypto, Pbkdf2HmacSha1MatchesRfc6070) {
    const struct {
        std::string password, salt;
        unsigned iterations;
        const char* derived;
    } cases[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const auto& c : cases) {
        const Octets expected = FromHex(c.derived);
        const Octets salt = FromText(c.salt);
        Octets derived(expected.size());
        crypto::Pbkdf2HmacSha1(c.password, salt.data(), salt.size(), c.iterations, derived.data(), derived.size());
        EXPECT_EQ(derived, expected) << c.password << " / " << c.iterations;
    }
}

TEST(Crypto, AesEncryptsFips197ExampleBlocks) {
    const Octets plain = FromHex("00112233445566778899aabbccddeeff");
    const struct {
        std::size_t keySize;
        const char* cipher;
    } cases[] = {{16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                 {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                 {32, "8ea2b7ca516745bfeafc49904b496089"}};
    for (const auto& c : cases) {
        const Octets key = Counting(c.keySize);
        crypto::AesEncryptor aes(key.data(), key.size());
        // Three blocks at once: each is encrypted on its own (no chaining).
        Octets input;
        for (int i = 0; i < 3; ++i) input.insert(input.end(), plain.begin(), plain.end());
        Octets output(input.size());
        aes.EncryptBlocks(input.data(), output.data(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Octets(output.begin() + 16 * i, output.begin() + 16 * (i + 1)), FromHex(c.cipher))
                << c.keySize << "-byte key, block " << i;
    }
}

TEST(Crypto, HmacSha1MatchesRfc2202FedWholeOrInPieces) {
    const struct {
        Octets key, data;
        const char* digest;
    } cases[] = {
        {Octets(20, 0x0b), FromText("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {FromText("Jefe"), FromText("what do ya want for nothing?"), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {Octets(80, 0xaa), FromText("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
    };
    for (const auto& c : cases) {
        for (std::size_t split : {c.data.size(), std::size_t{3}}) {
            crypto::HmacSha1 hmac(c.key.data(), c.key.size());
            hmac.Update(c.data.data(), split);
            hmac.Update(c.data.data() + split, c.data.size() - split);
            Octets digest(crypto::HmacSha1::kDigestSize);
            hmac.Finish(digest.data());
            EXPECT_EQ(digest, FromHex(c.digest)) << "split at " << split;
        }
    }
}

}  // namespace
}  // namespace tessaly::platformtest
