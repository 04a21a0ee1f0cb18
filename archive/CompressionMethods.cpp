#include "archive/CompressionMethods.h"

#include "archive/FileHeader.h"
#include "archive/ZipRecords.h"
#include "archive/crypto/EntryDecryption.h"
#include "archive/methods/Decompressors.h"

namespace tessaly {

namespace {

constexpr std::uint16_t kFlagStrongEncryption = 0x0040;

struct MethodName {
    std::uint16_t method;
    const char* name;
};

// The methods the ZIP application note assigns.
constexpr MethodName kMethodNames[] = {
    {0, "Stored"},
    {1, "Shrunk"},
    {2, "Reduced (factor 1)"},
    {3, "Reduced (factor 2)"},
    {4, "Reduced (factor 3)"},
    {5, "Reduced (factor 4)"},
    {6, "Imploded"},
    {7, "Tokenizing"},
    {8, "Deflate"},
    {9, "Deflate64"},
    {10, "PKWARE DCL Imploded"},
    {12, "BZip2"},
    {14, "LZMA"},
    {16, "IBM z/OS CMPSC"},
    {18, "IBM TERSE"},
    {19, "IBM LZ77 z"},
    {20, "Zstandard (old id)"},
    {93, "Zstandard"},
    {94, "MP3"},
    {95, "XZ"},
    {96, "JPEG"},
    {97, "WavPack"},
    {98, "PPMd"},
    {99, "AES"},
};

// An extra field is a run of (id, length, data) blocks; a block that runs
// past the end ends the search.
bool HasExtraBlock(const CFileHeader& entry, std::uint16_t id) {
    const std::uint8_t* extra = entry.extraField.GetBuffer();
    const std::size_t length = entry.extraField.GetSize();
    for (std::size_t at = 0; extra != nullptr && at + 4 <= length;) {
        const auto blockId = static_cast<std::uint16_t>(extra[at] | extra[at + 1] << 8);
        const std::size_t blockLength = static_cast<std::size_t>(extra[at + 2] | extra[at + 3] << 8);
        if (blockId == id) return true;
        at += 4 + blockLength;
    }
    return false;
}

}  // namespace

bool IsReadableMethod(std::uint16_t method) { return method == zip::kMethodStored || HasDecompressor(method); }

std::string CompressionMethodName(std::uint16_t method) {
    for (const MethodName& known : kMethodNames)
        if (known.method == method) return known.name;
    return "method " + std::to_string(method);
}

std::string UnsupportedMethodText(std::uint16_t method) {
    if (method == kMethodAes) return "WinZip AES encryption is not supported";
    return CompressionMethodName(method) + " compression is not supported";
}

EncryptionScheme EncryptionSchemeOf(const CFileHeader& entry) {
    if (entry.method == kMethodAes || HasExtraBlock(entry, kAesExtraId)) return EncryptionScheme::WinZipAes;
    if ((entry.flags & kFlagStrongEncryption) != 0) return EncryptionScheme::Strong;
    return EncryptionScheme::Traditional;
}

const char* EncryptionSchemeName(EncryptionScheme scheme) {
    switch (scheme) {
        case EncryptionScheme::WinZipAes: return "WinZip AES encryption";
        case EncryptionScheme::Strong: return "strong encryption";
        default: return "traditional PKWARE encryption";
    }
}

std::string EncryptionText(const CFileHeader& entry) {
    return std::string("encrypted (") + EncryptionSchemeName(EncryptionSchemeOf(entry)) + ")";
}

bool PasswordOpens(const CFileHeader& entry) {
    return entry.IsEncrypted() && EncryptionSchemeOf(entry) != EncryptionScheme::Strong;
}

std::string UnreadableReason(const CFileHeader& entry, bool passwordsAsked) {
    if (passwordsAsked && PasswordOpens(entry)) {
        // An AES entry's real method is only known once it is opened.
        if (entry.method == kMethodAes || IsReadableMethod(entry.method)) return {};
        return UnsupportedMethodText(entry.method);
    }
    if (entry.IsEncrypted()) return EncryptionText(entry);
    if (!IsReadableMethod(entry.method)) return UnsupportedMethodText(entry.method);
    return {};
}

}  // namespace tessaly
