#include "workflow/EntryFormat.h"

#include "platform/Clock.h"

#include <cstdio>
#include <limits>

#include "archive/CompressionMethods.h"
#include "archive/FileHeader.h"

namespace tessaly {

namespace {

// The "C" locale's abbreviations, which the column always uses.
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatEntrySize(std::uint64_t bytes) {
    static const char* const kUnits[] = {"Bytes", "KB", "MB", "GB"};
    std::size_t unit = 0;
    while (bytes >= 1024 && unit < 3) {
        bytes /= 1024;
        ++unit;
    }
    return std::to_string(bytes) + "   " + kUnits[unit];
}

std::string FormatEntryRatio(std::uint64_t compressed, std::uint64_t uncompressed) {
    if (uncompressed == 0) return "0%";
    std::uint64_t percent;
    if (compressed <= std::numeric_limits<std::uint64_t>::max() / 100)
        percent = compressed * 100 / uncompressed;
    else  // beyond any real entry; keep the division from overflowing
        percent = compressed / (uncompressed / 100 + (uncompressed < 100 ? 1 : 0));
    return std::to_string(percent) + "%";
}

std::string FormatEntryTime(std::time_t when) {
    std::tm parts{};
    if (when == static_cast<std::time_t>(-1) || !ToLocalTime(when, parts)) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%02d %s %04d, %02d:%02d:%02d", parts.tm_mday, kMonthNames[parts.tm_mon % 12],
                  parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string FormatEntryCrc(std::uint32_t crc) { return std::to_string(crc); }

std::string FormatEntryEncryption(const CFileHeader& header) {
    if (!header.IsEncrypted()) return {};
    const std::string scheme = EncryptionSchemeName(EncryptionSchemeOf(header));
    return PasswordOpens(header) ? "Password needed (" + scheme + ")" : "No password opens it here (" + scheme + ")";
}

EntryRow FormatEntryRow(const CFileHeader& header) {
    EntryRow row;
    row.name = header.fileName;
    row.size = FormatEntrySize(header.uncompressedSize);
    row.packedSize = FormatEntrySize(header.compressedSize);
    row.ratio = FormatEntryRatio(header.compressedSize, header.uncompressedSize);
    row.modifiedTime = FormatEntryTime(header.GetModificationTime());
    row.crc = FormatEntryCrc(header.crc32);
    row.encryption = FormatEntryEncryption(header);
    return row;
}

}  // namespace tessaly
