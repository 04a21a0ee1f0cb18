#include "archive/ZipStorage.h"

#include "archive/ZipException.h"

namespace tessaly {

bool CZipStorage::Open(const std::filesystem::path& path, int /*mode*/, int volumeSize) {
    // Whatever the mode, the archive is opened for reading only: salvage never
    // writes to the file it salvages.
    if (!file.Open(path, CFile::Mode::Read)) return false;
    length_ = file.GetLength();
    spanMode = volumeSize != 0 ? 4 : 3;
    currentVolume = -1;
    return true;
}

void CZipStorage::Close(bool /*afterError*/) {
    currentVolume = -1;
    spanMode = 0;
    length_ = 0;
    if (file.IsOpen()) file.Close();
}

std::size_t CZipStorage::Read(void* buffer, std::size_t size, bool atOnce) {
    const std::uint64_t offset = file.GetPosition();
    const std::size_t n = file.Read(buffer, size);
    if (n == 0 || n == size) return n;
    if (atOnce || IsSpanMode() == 0)
        ThrowArchiveError(badArchive, Path(), offset,
                          "record cut short (" + std::to_string(n) + " of " + std::to_string(size) + " bytes)");
    return n;
}

}  // namespace tessaly
