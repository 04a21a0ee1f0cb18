// An owned byte block: every read buffer of the archive reader is one.
#pragma once

#include <cstdint>
#include <memory>

namespace tessaly {

class CAutoBuffer {
public:
    CAutoBuffer() = default;
    explicit CAutoBuffer(std::uint32_t size) { Allocate(size); }
    CAutoBuffer(const CAutoBuffer& other);
    CAutoBuffer& operator=(const CAutoBuffer& other);
    CAutoBuffer(CAutoBuffer&&) noexcept = default;
    CAutoBuffer& operator=(CAutoBuffer&&) noexcept = default;
    virtual ~CAutoBuffer() = default;

    // Keeps the block when the size is unchanged; otherwise replaces it with
    // `size` uncleared bytes (none for 0).
    std::uint8_t* Allocate(std::uint32_t size);
    void Release() noexcept;

    std::uint8_t* GetBuffer() noexcept { return data_.get(); }
    const std::uint8_t* GetBuffer() const noexcept { return data_.get(); }
    std::uint32_t GetSize() const noexcept { return size_; }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::uint32_t size_ = 0;
};

}  // namespace tessaly
