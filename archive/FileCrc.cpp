#include "archive/FileCrc.h"

#include <algorithm>
#include <vector>

#include "archive/Crc32.h"
#include "platform/File.h"

namespace tessaly {

std::optional<std::uint32_t> CrcOfFileStart(CFile& file, std::uint64_t length) {
    file.Seek(0, CFile::Origin::Begin);
    std::vector<std::uint8_t> chunk(std::size_t{64} << 10);
    std::uint32_t crc = 0;
    for (std::uint64_t left = length; left > 0;) {
        const std::size_t got =
            file.Read(chunk.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size())));
        if (got == 0) return std::nullopt;
        crc = UpdateCrc32(crc, chunk.data(), got);
        left -= got;
    }
    return crc;
}

}  // namespace tessaly
