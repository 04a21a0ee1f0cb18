#include "archive/AutoBuffer.h"

#include <cstring>

namespace tessaly {

CAutoBuffer::CAutoBuffer(const CAutoBuffer& other) { *this = other; }

CAutoBuffer& CAutoBuffer::operator=(const CAutoBuffer& other) {
    if (this != &other) {
        Allocate(other.size_);
        if (size_ > 0) std::memcpy(data_.get(), other.data_.get(), size_);
    }
    return *this;
}

std::uint8_t* CAutoBuffer::Allocate(std::uint32_t size) {
    if (size == size_) return data_.get();
    Release();
    if (size > 0) {
        data_.reset(new std::uint8_t[size]);
        size_ = size;
    }
    return data_.get();
}

void CAutoBuffer::Release() noexcept {
    data_.reset();
    size_ = 0;
}

}  // namespace tessaly
