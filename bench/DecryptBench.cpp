// Decryption alone, in memory, on 16 MiB of data: the traditional stream
// cipher, and WinZip AES-256 counter mode with its authentication code (the
// work extraction adds per encrypted byte). Bytes processed are data bytes.
#include <benchmark/benchmark.h>

#include <vector>

#include "archive/crypto/AesDecryption.h"
#include "archive/crypto/TraditionalDecryption.h"
#include "tests/support/ZipCrypt.h"

namespace tessaly::bench {
namespace {

constexpr std::size_t kDataSize = std::size_t{16} << 20;
constexpr std::size_t kChunk = std::size_t{1} << 16;  // what the decoder reads at a time
const char* const kPassword = "bench password";

void BM_TraditionalDecrypt(benchmark::State& state) {
    const testzip::Bytes encrypted = testzip::TraditionalEncrypt(kPassword, 0, testzip::Bytes(kDataSize, 0x41), 1);
    std::vector<std::uint8_t> work(encrypted.begin() + 12, encrypted.end());
    for (auto _ : state) {
        TraditionalDecryption decryption(kPassword, 0);
        if (!decryption.Start(encrypted.data())) state.SkipWithError("check byte");
        for (std::size_t at = 0; at < work.size(); at += kChunk) decryption.Decrypt(work.data() + at, kChunk);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDataSize));
}
BENCHMARK(BM_TraditionalDecrypt)->Unit(benchmark::kMillisecond);

void BM_AesDecryptAndAuthenticate(benchmark::State& state) {
    const auto strength = static_cast<std::uint8_t>(state.range(0));
    const testzip::Bytes encrypted = testzip::AesEncrypt(kPassword, strength, testzip::Bytes(kDataSize, 0x41), 1);
    const std::size_t header = AesDecryption::SaltSize(strength) + AesDecryption::kVerifierSize;
    std::vector<std::uint8_t> work(encrypted.begin() + static_cast<std::ptrdiff_t>(header),
                                   encrypted.end() - AesDecryption::kCodeSize);
    AesExtraField field;
    field.vendorVersion = 2;
    field.strength = strength;
    for (auto _ : state) {
        AesDecryption decryption(kPassword, field);
        if (!decryption.Start(encrypted.data())) state.SkipWithError("verifier");
        decryption.SetAuthenticatedLength(kDataSize);
        for (std::size_t at = 0; at < work.size(); at += kChunk) decryption.Decrypt(work.data() + at, kChunk);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDataSize));
}
BENCHMARK(BM_AesDecryptAndAuthenticate)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaly::bench
