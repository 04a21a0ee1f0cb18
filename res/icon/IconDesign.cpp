#include "res/icon/IconDesign.h"

#include <algorithm>
#include <cmath>

namespace tessaly {
namespace {

struct Rgb {
    unsigned char r, g, b;
};

constexpr Rgb kTile{0x1F, 0x5F, 0x7A};
constexpr Rgb kSheet{0xF4, 0xF7, 0xF8};
constexpr Rgb kTeeth{0xE0, 0x9A, 0x2E};

// Coverage (0..1) of the pixel centred at (x, y) by a rounded rectangle.
double RoundedBox(double x, double y, double left, double top, double right, double bottom, double radius) {
    const double cx = std::clamp(x, left + radius, right - radius);
    const double cy = std::clamp(y, top + radius, bottom - radius);
    const double distance = std::hypot(x - cx, y - cy) - radius;
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

void Blend(unsigned char* pixel, const Rgb& colour, double coverage) {
    pixel[0] = static_cast<unsigned char>(pixel[0] + (colour.r - pixel[0]) * coverage);
    pixel[1] = static_cast<unsigned char>(pixel[1] + (colour.g - pixel[1]) * coverage);
    pixel[2] = static_cast<unsigned char>(pixel[2] + (colour.b - pixel[2]) * coverage);
}

// The colour layers of the icon at pixel (x, y) of a unit-square design
// scaled to `s` pixels; returns the tile's coverage for the alpha channel.
double PaintPixel(unsigned char* rgb, double x, double y, double s) {
    const double tile = RoundedBox(x, y, 0.02 * s, 0.02 * s, 0.98 * s, 0.98 * s, 0.2 * s);
    Blend(rgb, kTile, 1.0);
    Blend(rgb, kSheet, RoundedBox(x, y, 0.24 * s, 0.14 * s, 0.76 * s, 0.86 * s, 0.05 * s));
    // Alternating teeth either side of the centre line, then the pull tab.
    const int tooth = static_cast<int>(std::floor((y - 0.18 * s) / (0.08 * s)));
    if (y >= 0.18 * s && y < 0.62 * s) {
        const double left = (tooth % 2 == 0) ? 0.42 * s : 0.5 * s;
        Blend(rgb, kTeeth,
              RoundedBox(x, y, left, 0.18 * s + tooth * 0.08 * s + 0.01 * s, left + 0.08 * s,
                         0.18 * s + (tooth + 1) * 0.08 * s - 0.01 * s, 0.01 * s));
    }
    Blend(rgb, kTeeth, RoundedBox(x, y, 0.41 * s, 0.62 * s, 0.59 * s, 0.8 * s, 0.05 * s));
    Blend(rgb, kSheet, RoundedBox(x, y, 0.47 * s, 0.68 * s, 0.53 * s, 0.74 * s, 0.02 * s));
    return tile;
}

}  // namespace

std::vector<std::uint8_t> IconRgba(int size) {
    std::vector<std::uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            unsigned char* pixel = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            const double alpha = PaintPixel(pixel, x + 0.5, y + 0.5, size);
            pixel[3] = static_cast<unsigned char>(alpha * 255.0 + 0.5);
        }
    }
    return rgba;
}

}  // namespace tessaly
