#include "archive/crypto/AesAuthentication.h"

#include <algorithm>
#include <vector>

#include "archive/ZipStorage.h"
#include "archive/crypto/AesDecryption.h"

namespace tessaly {

EntryVerdict AuthenticatedVerdict(AesDecryption& aes, CZipStorage& storage, std::uint64_t dataStart,
                                  std::uint64_t length, EntryVerdict verdict) {
    if (verdict.outcome != ExtractOutcome::Ok && aes.Authenticated() < length) return verdict;
    std::vector<std::uint8_t> chunk(std::size_t{64} << 10);
    storage.Seek(dataStart + aes.Authenticated());
    while (aes.Authenticated() < length) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), length - aes.Authenticated()));
        const std::size_t got = storage.file.Read(chunk.data(), want);
        aes.Authenticate(chunk.data(), got);
        if (got < want) break;
    }
    std::uint8_t code[AesDecryption::kCodeSize];
    if (aes.Authenticated() < length || storage.file.Read(code, sizeof code) < sizeof code)
        return verdict.outcome == ExtractOutcome::Ok
                   ? EntryVerdict{ExtractOutcome::Truncated, "archive ends before the authentication code"}
                   : verdict;
    if (aes.CodeMatches(code)) return verdict;
    if (verdict.outcome == ExtractOutcome::Ok) return {ExtractOutcome::Damaged, "authentication code mismatch"};
    verdict.detail += "; authentication code mismatch";
    return verdict;
}

}  // namespace tessaly
