#include "archive/crypto/EntryDecryption.h"

namespace tessaly {

std::optional<AesExtraField> FindAesExtraField(const std::uint8_t* extra, std::size_t size) {
    for (std::size_t at = 0; extra != nullptr && at + 4 <= size;) {
        const auto id = static_cast<std::uint16_t>(extra[at] | extra[at + 1] << 8);
        const std::size_t length = static_cast<std::size_t>(extra[at + 2] | extra[at + 3] << 8);
        const std::uint8_t* data = extra + at + 4;
        if (id == kAesExtraId && length >= 7 && at + 4 + length <= size && data[2] == 'A' && data[3] == 'E') {
            AesExtraField field;
            field.vendorVersion = static_cast<std::uint16_t>(data[0] | data[1] << 8);
            field.strength = data[4];
            field.method = static_cast<std::uint16_t>(data[5] | data[6] << 8);
            return field;
        }
        at += 4 + length;
    }
    return std::nullopt;
}

}  // namespace tessaly
