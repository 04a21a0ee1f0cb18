#include "archive/methods/CutMatch.h"

#include <algorithm>
#include <utility>

namespace tessaly::deflate64 {

std::size_t DecidedMatchBytes(const CodeTable& table, std::uint64_t bits, unsigned held, std::uint8_t* window,
                              std::size_t out, std::uint32_t length) {
    struct Candidates {
        std::uint32_t first, step, count;  // first + j * step, j < count
    };
    Candidates runs[32];
    std::uint16_t bases[32];  // each symbol once, however many table entries it fills
    std::size_t runCount = 0;
    const unsigned root = table.rootBits;
    const auto known = [&](unsigned from, unsigned width) {
        const unsigned n = held > from ? std::min(held - from, width) : 0;
        return std::pair<std::uint32_t, unsigned>(static_cast<std::uint32_t>((bits >> from) & ((1u << n) - 1)), n);
    };
    const auto addLeaf = [&](const CodeEntry& leaf, unsigned codeLength) {
        if (leaf.op > kOpMaxExtra) return;  // no valid symbol there
        if (std::find(bases, bases + runCount, leaf.value) != bases + runCount || runCount == 32) return;
        const auto [extra, n] = known(codeLength, leaf.op);
        bases[runCount] = leaf.value;
        runs[runCount++] = {leaf.value + extra, 1u << n, 1u << (leaf.op - n)};
    };
    const auto [rootKnown, rootBitsKnown] = known(0, root);
    for (unsigned r = rootKnown; r < (1u << root); r += 1u << rootBitsKnown) {
        const CodeEntry entry = table.entries[r];
        if (!(entry.op & kOpLink)) {
            addLeaf(entry, entry.bits);
            continue;
        }
        const unsigned subBits = entry.op & ~kOpLink;
        const auto [subKnown, subBitsKnown] = known(root, subBits);
        for (unsigned s = subKnown; s < (1u << subBits); s += 1u << subBitsKnown) {
            const CodeEntry leaf = table.entries[entry.value + s];
            addLeaf(leaf, root + leaf.bits);
        }
    }
    std::size_t anyDistance = 0;  // the shortest valid one
    for (std::size_t i = 0; i < runCount; ++i)
        if (runs[i].first <= out && (anyDistance == 0 || runs[i].first < anyDistance)) anyDistance = runs[i].first;
    if (anyDistance == 0) return 0;  // no continuation would be valid data

    std::size_t budget = std::size_t{1} << 24;
    std::size_t n = 0;
    for (; n < length; ++n) {
        const std::uint8_t value = window[out - anyDistance + n];
        for (std::size_t i = 0; i < runCount; ++i) {
            for (std::uint64_t d = runs[i].first, j = 0; j < runs[i].count && d <= out; ++j, d += runs[i].step) {
                if (window[out - d + n] != value || --budget == 0) return n;
            }
        }
        window[out + n] = value;
    }
    return n;
}

}  // namespace tessaly::deflate64
