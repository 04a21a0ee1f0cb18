#include "archive/methods/Decompressors.h"

#include <algorithm>

#include "archive/methods/Deflate64Decompressor.h"
#include "archive/methods/ZlibInflater.h"
#if TESSALY_WITH_ISAL
#include "archive/methods/IsalInflater.h"
#endif

namespace tessaly {

namespace {

struct Maker {
    std::uint16_t method;
    std::unique_ptr<Decompressor> (*make)(const StreamParameters& parameters);
};

// The one list of compressed methods this build reads. A decoder whose
// library may be missing (a build for another system) is listed only when
// the build found it.
const Maker kMakers[] = {
    {8, [](const StreamParameters& parameters) { return MakeDeflateDecompressor(parameters.uncompressedSize); }},
    {9, [](const StreamParameters&) { return MakeDeflate64Decompressor(); }},
#if TESSALY_WITH_BZIP2
    {12, [](const StreamParameters&) { return MakeBZip2Decompressor(); }},
#endif
#if TESSALY_WITH_LZMA
    {14, [](const StreamParameters& parameters) { return MakeLzmaDecompressor(parameters); }},
    {95, [](const StreamParameters&) { return MakeXzDecompressor(); }},
#endif
#if TESSALY_WITH_ZSTD
    {93, [](const StreamParameters&) { return MakeZstdDecompressor(); }},
#endif
};

const Maker* FindMaker(std::uint16_t method) {
    for (const Maker& maker : kMakers)
        if (maker.method == method) return &maker;
    return nullptr;
}

}  // namespace

std::unique_ptr<Decompressor> MakeDecompressor(const StreamParameters& parameters) {
    const Maker* maker = FindMaker(parameters.method);
    return maker != nullptr ? maker->make(parameters) : nullptr;
}

bool HasDecompressor(std::uint16_t method) { return FindMaker(method) != nullptr; }

std::unique_ptr<Decompressor> MakeZlibInflater() { return std::make_unique<ZlibInflater>(); }

// ISA-L where the build has it (IsalInflater.h says which blocks it takes),
// zlib alone elsewhere. An entry that says it holds less than 32 KiB goes
// straight to ZlibInflater: IsalInflater would give all of it to zlib
// anyway, and keeping its input for nothing cost some 3 % on 70 000
// entries of 1 KiB (scripts/bench.sh); from 120 KiB up ISA-L is the faster
// (2 000 entries of 120 KiB: 0.50-0.56 s against 0.73-0.75 s with zlib
// alone, two threads).
std::unique_ptr<Decompressor> MakeDeflateDecompressor(std::optional<std::uint64_t> uncompressedSize) {
#if TESSALY_WITH_ISAL
    if (!uncompressedSize || *uncompressedSize >= IsalInflater::kWindow) return std::make_unique<IsalInflater>();
#else
    (void)uncompressedSize;
#endif
    return MakeZlibInflater();
}

std::string MebibyteText(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

Follows StartsWithMagic(const std::uint8_t* bytes, std::size_t n, const std::uint8_t* magic, std::size_t magicLength) {
    const std::size_t compared = std::min(n, magicLength);
    if (!std::equal(bytes, bytes + compared, magic)) return Follows::No;
    return compared == magicLength ? Follows::Yes : Follows::NeedMore;
}

}  // namespace tessaly
