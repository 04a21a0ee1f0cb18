// Compressed entry data for the test archives, made with the libraries' own
// encoders: BZip2 (libbz2), LZMA and XZ (liblzma), Zstandard (libzstd).
// The bytes are what a ZIP entry of that method holds (for LZMA: the 4-byte
// version and properties-size header, the 5 properties bytes, the stream).
// In a build without one of the libraries its functions give no bytes.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/ZipWriter.h"

namespace tessaly::testzip {

enum class Codec { BZip2, Lzma, LzmaEndMarker, Xz, Zstd };

const char* CodecName(Codec codec);
std::uint16_t CodecMethod(Codec codec);

// Whether this build has the codec's library (for the encoder; the reader
// has its own switch).
bool HaveEncoder(Codec codec);

Bytes Compress(Codec codec, const Bytes& data);

// An entry of the codec's method: its data compressed, method and (LZMA)
// end-marker flag set.
EntryToWrite Compressed(Codec codec, std::string name, Bytes content);

// BZip2 with a chosen block size (1-9, in 100 000 bytes).
Bytes BZip2Compress(const Bytes& data, int blockSize100k = 9);
// LZMA as a ZIP entry holds it; `dictionarySize` is what the properties say.
Bytes LzmaZipPayload(const Bytes& data, bool endMarker, std::uint32_t dictionarySize = 1u << 20);
Bytes XzCompress(const Bytes& data, std::uint32_t preset = 6);
Bytes ZstdCompress(const Bytes& data, int level = 3);
// One Zstandard frame whose header asks for a window of 2^windowLog bytes
// (the data itself needs far less).
Bytes ZstdFrameAskingForWindow(const Bytes& data, int windowLog);

}  // namespace tessaly::testzip
