#include "archive/scan/ArchiveComment.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/ZipRecords.h"
#include "archive/ZipStorage.h"

namespace tessaly {
namespace {
constexpr std::size_t kEndRecordLength = 22;
constexpr std::size_t kCommentLengthField = 20;  // offset of the comment length in the record
}  // namespace

std::string FindArchiveComment(CZipStorage& storage) {
    const std::uint64_t length = storage.Length();
    const std::uint64_t tail = std::min<std::uint64_t>(length, kEndRecordLength + zip::kMaxFieldLength);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tail));
    storage.Seek(length - tail);
    if (tail < kEndRecordLength || storage.file.Read(bytes.data(), bytes.size()) != bytes.size()) return {};

    std::optional<std::string> fitting;
    for (std::size_t at = bytes.size() - kEndRecordLength + 1; at-- > 0;) {
        if (zip::LoadU32(&bytes[at]) != zip::kEndRecordSignature) continue;
        const std::size_t commentLength = bytes[at + kCommentLengthField] | bytes[at + kCommentLengthField + 1] << 8;
        const std::size_t start = at + kEndRecordLength;
        const std::size_t room = bytes.size() - start;
        if (commentLength == room) return std::string(bytes.begin() + start, bytes.end());
        if (commentLength < room && !fitting)
            fitting.emplace(bytes.begin() + start, bytes.begin() + start + commentLength);
    }
    return fitting.value_or(std::string());
}

}  // namespace tessaly
