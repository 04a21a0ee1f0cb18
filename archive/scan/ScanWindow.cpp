#include "archive/scan/ScanWindow.h"
#include "archive/Crc32.h"

#include <algorithm>
#include <cstring>

#include "archive/ZipRecords.h"

namespace tessaly {

namespace {
constexpr std::ptrdiff_t kDenseRun = 32;
}  // namespace

ScanWindow::ScanWindow(CBigFile& file, std::uint64_t length, std::size_t capacity)
    : file_(file), length_(length), capacity_(std::max(capacity, kMinimumCapacity)) {
    buffer_.reset(new std::uint8_t[capacity_]);
}

std::size_t ScanWindow::Fetch(std::uint64_t offset, std::size_t size) {
    if (offset >= length_) return 0;
    const std::uint64_t end = std::min<std::uint64_t>(offset + size, length_);
    if (offset < start_ || end > start_ + filled_) {
        file_.Seek(static_cast<std::int64_t>(offset), CFile::Origin::Begin);
        start_ = offset;
        filled_ = file_.Read(buffer_.get(), capacity_);
    }
    return static_cast<std::size_t>(std::min<std::uint64_t>(start_ + filled_, end) - offset);
}

std::uint64_t ScanWindow::Find(std::uint32_t signature, std::uint64_t from, std::uint64_t to) {
    const auto first = static_cast<std::uint8_t>(signature & 0xFF);
    const std::uint64_t notFound = to;
    to = std::min(to, length_ >= 4 ? length_ - 3 : 0);
    while (from < to) {
        // Positions [from, from + span) are searched with their four bytes resident.
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(to - from + 3, capacity_));
        const std::size_t available = Fetch(from, want);
        if (available < 4) return notFound;
        const std::uint8_t* base = buffer_.get() + (from - start_);
        const std::size_t span = std::min<std::size_t>(available - 3, static_cast<std::size_t>(to - from));
        const std::uint8_t* p = base;
        const std::uint8_t* const limit = base + span;
        while (p < limit) {
            p = static_cast<const std::uint8_t*>(std::memchr(p, first, static_cast<std::size_t>(limit - p)));
            if (p == nullptr) break;
            // Where the first byte is frequent (text full of 'P'), a plain
            // compare over the next positions beats calling memchr per hit.
            const std::uint8_t* const denseEnd = std::min(limit, p + kDenseRun);
            for (; p < denseEnd; ++p) {
                if (*p == first && zip::LoadU32(p) == signature) return from + static_cast<std::uint64_t>(p - base);
            }
        }
        from += span;
    }
    return notFound;
}

std::size_t ScanWindow::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    if (size > capacity_) {
        if (offset >= length_) return 0;
        file_.Seek(static_cast<std::int64_t>(offset), CFile::Origin::Begin);
        filled_ = 0;  // the file position moved; the window must be refilled
        return file_.Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, length_ - offset)));
    }
    const std::size_t available = Fetch(offset, size);
    if (available > 0) std::memcpy(buffer, buffer_.get() + (offset - start_), available);
    return available;
}

bool ScanWindow::ReadU32(std::uint64_t offset, std::uint32_t& value) {
    if (Fetch(offset, 4) < 4) return false;
    value = zip::LoadU32(buffer_.get() + (offset - start_));
    return true;
}

}  // namespace tessaly

namespace tessaly {

std::uint32_t ScanWindow::ExtendCrc(std::uint32_t crc, std::uint64_t from, std::uint64_t to) {
    while (from < to) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(to - from, capacity_));
        const std::size_t available = Fetch(from, want);
        if (available == 0) break;
        crc = UpdateCrc32(crc, buffer_.get() + (from - start_), available);
        from += available;
    }
    return crc;
}

}  // namespace tessaly
