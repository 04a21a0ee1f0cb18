#include "cli/SkipRules.h"

#include "archive/EntryName.h"
#include "archive/FileHeader.h"

namespace tessaly::cli {
namespace {

bool EndsWithSeparator(const std::string& name) {
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

}  // namespace

std::string ExtractSkipReason(const CFileHeader& header) {
    if (SafeRelativePath(header.fileName).empty()) return "empty name";
    if (IsJunkName(header.fileName)) return "junk name";
    if (EndsWithSeparator(header.fileName)) return "folder entry";
    const bool emptyRecord =
        header.crc32 == 0 && header.compressedSize == 0 && header.uncompressedSize == 0;
    if (emptyRecord && !header.HasDescriptorFlag()) return "empty record";
    if (header.IsEncrypted()) return "encrypted";
    return {};
}

}  // namespace tessaly::cli
