// The archive file as the reader sees it: opened in place for reading only,
// read with the rule that decides whether a short read is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/File.h"

namespace tessaly {

class CZipStorage {
public:
    CZipStorage() = default;
    virtual ~CZipStorage() = default;

    // Opens `path` for reading. The archive is never written, whatever the
    // mode: read-only files and media open like any other. Returns false and
    // leaves the file closed when it cannot be opened.
    bool Open(const std::filesystem::path& path, int mode, int volumeSize);
    void Close(bool afterError);
    bool IsOpen() const { return file.IsOpen(); }

    // Reads up to `size` bytes. A short read of a record that must be whole
    // (`atOnce`) raises badArchive with the path and offset; a short read of
    // data returns what arrived. A read at the
    // end of the file returns 0 with no error and no flag.
    std::size_t Read(void* buffer, std::size_t size, bool atOnce);

    std::uint64_t Seek(std::uint64_t offset) {
        return file.Seek(static_cast<std::int64_t>(offset), CFile::Origin::Begin);
    }
    std::uint64_t Position() const { return file.GetPosition(); }
    std::uint64_t Length() const { return length_; }
    const std::filesystem::path& Path() const { return file.GetFilePath(); }

    int IsSpanMode() const { return spanMode == 0 ? 0 : (newSpan ? 1 : -1); }

    CBigFile file;
    int spanMode = 0;
    std::uint8_t newSpan = 0;
    int currentVolume = -1;

private:
    std::uint64_t length_ = 0;
};

}  // namespace tessaly
