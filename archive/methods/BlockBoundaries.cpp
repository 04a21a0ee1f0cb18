#include "archive/methods/BlockBoundaries.h"

#include <algorithm>

namespace tessaly {

namespace {
// Blocks a decoder reads out of step with the real ones (after a wrong bit,
// until it trips over something invalid) are short: garbage read as codes
// meets an end-of-block or an invalid code within a few hundred bits. A
// block shorter than this before the break is taken for one of them.
constexpr std::uint64_t kShortBlockBits = 8 * 1024;
}  // namespace

void BlockBoundaries::Note(std::uint64_t bit, std::uint64_t output) {
    const Boundary& last = boundaries_[(count_ - 1) % kKept];
    if (bit == last.bit) return;
    boundaries_[count_ % kKept] = Boundary{bit, output};
    ++count_;
}

StreamBreak BlockBoundaries::Break() const {
    const std::size_t kept = std::min(count_, kKept);
    const auto at = [&](std::size_t i) -> const Boundary& {  // i-th oldest kept
        return boundaries_[(count_ - kept + i) % kKept];
    };
    std::size_t chosen = kept >= 2 ? kept - 2 : 0;
    while (chosen > 0 && at(chosen + 1).bit - at(chosen).bit < kShortBlockBits) --chosen;
    return StreamBreak{at(chosen).output, at(chosen).bit};
}

}  // namespace tessaly
