// Bytes taken in at the back and let go at the front. Letting go only moves
// an offset; the bytes still held are moved down when more has been let go
// than is held, so each byte is moved about once at most, however often the
// front moves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaly {

class ByteQueue {
public:
    std::uint8_t* data() { return bytes_.data() + front_; }
    const std::uint8_t* data() const { return bytes_.data() + front_; }
    std::size_t size() const { return bytes_.size() - front_; }
    std::uint8_t operator[](std::size_t i) const { return bytes_[front_ + i]; }

    void Append(const std::uint8_t* bytes, std::size_t count) {
        if (front_ != 0 && front_ >= size()) {
            bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(front_));
            front_ = 0;
        }
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    void Drop(std::size_t count) { front_ += count; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t front_ = 0;
};

}  // namespace tessaly
