#include "tests/support/Encoders.h"

#include <algorithm>
#include <stdexcept>

#if TESSALY_WITH_BZIP2
#include <bzlib.h>
#endif
#if TESSALY_WITH_LZMA
#include <lzma.h>
#endif
#if TESSALY_WITH_ZSTD
#include <zstd.h>
#endif

namespace tessaly::testzip {

namespace {
#if TESSALY_WITH_BZIP2
constexpr bool kHaveBZip2 = true;
#else
constexpr bool kHaveBZip2 = false;
#endif
#if TESSALY_WITH_LZMA
constexpr bool kHaveLzma = true;
#else
constexpr bool kHaveLzma = false;
#endif
#if TESSALY_WITH_ZSTD
constexpr bool kHaveZstd = true;
#else
constexpr bool kHaveZstd = false;
#endif
}  // namespace

const char* CodecName(Codec codec) {
    switch (codec) {
        case Codec::BZip2: return "BZip2";
        case Codec::Lzma: return "Lzma";
        case Codec::LzmaEndMarker: return "LzmaEndMarker";
        case Codec::Xz: return "Xz";
        case Codec::Zstd: return "Zstd";
    }
    return "?";
}

std::uint16_t CodecMethod(Codec codec) {
    switch (codec) {
        case Codec::BZip2: return 12;
        case Codec::Lzma:
        case Codec::LzmaEndMarker: return 14;
        case Codec::Xz: return 95;
        case Codec::Zstd: return 93;
    }
    return 0;
}

bool HaveEncoder(Codec codec) {
    switch (codec) {
        case Codec::BZip2: return kHaveBZip2;
        case Codec::Lzma:
        case Codec::LzmaEndMarker:
        case Codec::Xz: return kHaveLzma;
        case Codec::Zstd: return kHaveZstd;
    }
    return false;
}

Bytes Compress(Codec codec, const Bytes& data) {
    switch (codec) {
        case Codec::BZip2: return BZip2Compress(data, 1);
        case Codec::Lzma: return LzmaZipPayload(data, false);
        case Codec::LzmaEndMarker: return LzmaZipPayload(data, true);
        case Codec::Xz: return XzCompress(data, 3);  // its encoder stays below 64 MiB of memory
        case Codec::Zstd: return ZstdCompress(data);
    }
    return {};
}

EntryToWrite Compressed(Codec codec, std::string name, Bytes content) {
    EntryToWrite entry = Stored(std::move(name), std::move(content));
    entry.rawData = Compress(codec, entry.data);
    entry.methodOverride = CodecMethod(codec);
    if (codec == Codec::LzmaEndMarker) entry.extraFlags = 0x0002;
    return entry;
}

Bytes BZip2Compress(const Bytes& data, int blockSize100k) {
#if TESSALY_WITH_BZIP2
    Bytes out(data.size() + data.size() / 100 + 600);
    auto length = static_cast<unsigned>(out.size());
    if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &length,
                                 const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                 static_cast<unsigned>(data.size()), blockSize100k, 0, 30) != BZ_OK)
        throw std::runtime_error("BZ2_bzBuffToBuffCompress failed");
    out.resize(length);
    return out;
#else
    (void)data;
    (void)blockSize100k;
    return {};
#endif
}

Bytes LzmaZipPayload(const Bytes& data, bool endMarker, std::uint32_t dictionarySize) {
#if TESSALY_WITH_LZMA
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options, 6)) throw std::runtime_error("lzma_lzma_preset failed");
    options.dict_size = std::min<std::uint32_t>(dictionarySize, 1u << 20);  // the properties may say more
    options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    Bytes out = {9, 20, 5, 0};
    out.push_back(static_cast<std::uint8_t>((options.pb * 5 + options.lp) * 9 + options.lc));
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(dictionarySize >> shift));
    const std::size_t start = out.size();
    out.resize(start + data.size() + data.size() / 2 + 1024);
    std::size_t position = start;
    if (lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), out.data(), &position, out.size()) !=
        LZMA_OK)
        throw std::runtime_error("lzma_raw_buffer_encode failed");
    out.resize(position);
    return out;
#else
    (void)data;
    (void)endMarker;
    (void)dictionarySize;
    return {};
#endif
}

Bytes XzCompress(const Bytes& data, std::uint32_t preset) {
#if TESSALY_WITH_LZMA
    Bytes out(lzma_stream_buffer_bound(data.size()));
    std::size_t position = 0;
    if (lzma_easy_buffer_encode(preset, LZMA_CHECK_CRC64, nullptr, data.data(), data.size(), out.data(), &position,
                                out.size()) != LZMA_OK)
        throw std::runtime_error("lzma_easy_buffer_encode failed");
    out.resize(position);
    return out;
#else
    (void)data;
    (void)preset;
    return {};
#endif
}

Bytes ZstdCompress(const Bytes& data, int level) {
#if TESSALY_WITH_ZSTD
    Bytes out(ZSTD_compressBound(data.size()));
    const std::size_t length = ZSTD_compress(out.data(), out.size(), data.data(), data.size(), level);
    if (ZSTD_isError(length)) throw std::runtime_error("ZSTD_compress failed");
    out.resize(length);
    return out;
#else
    (void)data;
    (void)level;
    return {};
#endif
}

Bytes ZstdFrameAskingForWindow(const Bytes& data, int windowLog) {
#if TESSALY_WITH_ZSTD
    // Without the content size and checksum the header is the magic, a zero
    // descriptor byte and the window descriptor (exponent above 2^10).
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, 0);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 0);
    Bytes out(ZSTD_compressBound(data.size()));
    const std::size_t length = ZSTD_compress2(context, out.data(), out.size(), data.data(), data.size());
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(length) || length < 6 || out[4] != 0) throw std::runtime_error("unexpected Zstandard frame");
    out.resize(length);
    out[5] = static_cast<std::uint8_t>((windowLog - 10) << 3);
    return out;
#else
    (void)data;
    (void)windowLog;
    return {};
#endif
}

}  // namespace tessaly::testzip
