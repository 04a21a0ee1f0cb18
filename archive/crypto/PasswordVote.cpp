#include "archive/crypto/PasswordVote.h"

#include <functional>

#include "archive/CompressionMethods.h"
#include "archive/EntryPositions.h"
#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"
#include "archive/crypto/TraditionalDecryption.h"

namespace tessaly {

// An entry cut short before its encrypted data has no check byte of its own
// (the bytes there are the next record's) and does not vote.
PasswordVote::Verdict PasswordVote::Of(const std::string& password) {
    const std::size_t key = std::hash<std::string>{}(password);
    if (last_ && last_->first == key) return last_->second;
    std::size_t checked = 0;
    std::size_t passed = 0;
    for (const CFileHeader& other : entries_) {
        if (checked == kVoters) break;
        if (!PasswordOpens(other) || EncryptionSchemeOf(other) != EncryptionScheme::Traditional ||
            other.method == kMethodAes)
            continue;
        const std::uint64_t at = other.localHeaderOffset + zip::kLocalHeaderLength + other.fileNameLength +
                                 zip::TolerantExtraLength(other.extraFieldLength);
        if (layout_.DataRoom(other, at) < TraditionalDecryption::kHeaderSize) continue;
        std::uint8_t header[TraditionalDecryption::kHeaderSize];
        storage_.Seek(at);
        if (storage_.file.Read(header, sizeof header) < sizeof header) continue;
        ++checked;
        if (TraditionalDecryption(password, TraditionalDecryption::CheckByteOf(other)).Start(header)) ++passed;
    }
    const Verdict vote = checked < 2             ? Verdict::Undecided
                         : passed * 2 <= checked ? Verdict::Refuted
                                                 : Verdict::Confirmed;
    last_ = std::make_pair(key, vote);
    return vote;
}

}  // namespace tessaly
