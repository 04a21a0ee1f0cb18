#include "archive/Crc32.h"

#if TESSALY_WITH_ISAL
#include <isa-l/crc.h>
#else
#include <zlib.h>

#include <algorithm>
#endif

namespace tessaly {

std::uint32_t UpdateCrc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return crc;
#if TESSALY_WITH_ISAL
    return crc32_gzip_refl(crc, data, size);
#else
    while (size > 0) {
        const std::size_t piece = std::min<std::size_t>(size, 1u << 30);
        crc = static_cast<std::uint32_t>(::crc32(crc, data, static_cast<uInt>(piece)));
        data += piece;
        size -= piece;
    }
    return crc;
#endif
}

}  // namespace tessaly
