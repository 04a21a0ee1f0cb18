#include "Canvas.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "StrokeFont.h"

namespace picturemaker {
namespace {

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Signed distance from (x, y) to a rounded box (negative inside).
double BoxDistance(double x, double y, const Box& b, double radius) {
    const double cx = std::clamp(x, b.left + radius, b.right - radius);
    const double cy = std::clamp(y, b.top + radius, b.bottom - radius);
    const double outside = std::hypot(x - cx, y - cy) - radius;
    return outside;
}

double SegmentDistance(double px, double py, const Point& a, const Point& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? Clamp01(((px - a.x) * dx + (py - a.y) * dy) / length2) : 0.0;
    return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

void PutLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

Colour Hex(std::uint32_t rgb) { return {double((rgb >> 16) & 0xFF), double((rgb >> 8) & 0xFF), double(rgb & 0xFF)}; }

Colour Mix(const Colour& a, const Colour& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Canvas::Canvas(int width, int height, const Colour& fill)
    : m_width(width), m_height(height), m_pixels(static_cast<size_t>(width) * height, fill) {}

void Canvas::Blend(int x, int y, const Colour& colour, double coverage) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0) return;
    Colour& p = m_pixels[static_cast<size_t>(y) * m_width + x];
    p = Mix(p, colour, std::min(coverage, 1.0));
}

void Canvas::VerticalGradient(const Box& box, const Colour& top, const Colour& bottom) {
    const double span = std::max(1.0, box.bottom - box.top - 1);
    for (int y = int(box.top); y < int(box.bottom); ++y)
        for (int x = int(box.left); x < int(box.right); ++x) Blend(x, y, Mix(top, bottom, (y - box.top) / span), 1.0);
}

void Canvas::RoundedBox(const Box& box, double radius, const Colour& colour, double opacity, bool hardEdge) {
    RoundedGradient(box, radius, colour, colour, hardEdge, opacity);
}

void Canvas::RoundedGradient(const Box& box, double radius, const Colour& top, const Colour& bottom, bool hardEdge,
                             double opacity) {
    const double span = std::max(1.0, box.bottom - box.top);
    for (int y = int(std::floor(box.top)); y < int(std::ceil(box.bottom)); ++y) {
        for (int x = int(std::floor(box.left)); x < int(std::ceil(box.right)); ++x) {
            double coverage = Clamp01(0.5 - BoxDistance(x + 0.5, y + 0.5, box, radius));
            if (hardEdge) coverage = coverage >= 0.5 ? 1.0 : 0.0;
            Blend(x, y, Mix(top, bottom, Clamp01((y - box.top) / span)), coverage * opacity);
        }
    }
}

void Canvas::Ring(double cx, double cy, double radius, double width, const Colour& colour, double opacity,
                  const Box& clip) {
    for (int y = int(clip.top); y < int(clip.bottom); ++y) {
        for (int x = int(clip.left); x < int(clip.right); ++x) {
            const double d = std::fabs(std::hypot(x + 0.5 - cx, y + 0.5 - cy) - radius);
            Blend(x, y, colour, Clamp01(width / 2 + 0.5 - d) * opacity);
        }
    }
}

double Canvas::TextWidth(double capHeight, const std::string& text) { return TextAdvance(text) * capHeight / 7.0; }

void Canvas::Text(double x, double baseline, double capHeight, double weight, const Colour& colour,
                  const std::string& text) {
    const double scale = capHeight / 7.0;
    const double half = weight * scale / 2;
    double pen = x + half;
    for (const char ch : text) {
        const Glyph& glyph = GlyphOf(ch);
        for (const Polyline& stroke : glyph.strokes) {
            std::vector<Point> pts;
            for (const Point& p : stroke) pts.push_back({pen + p.x * scale, baseline - p.y * scale});
            if (pts.size() == 1) pts.push_back(pts.front());
            double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
            for (const Point& p : pts) {
                minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
            }
            for (int py = int(minY - half - 1); py <= int(maxY + half + 1); ++py) {
                for (int px = int(minX - half - 1); px <= int(maxX + half + 1); ++px) {
                    double d = 1e9;
                    for (size_t i = 1; i < pts.size(); ++i)
                        d = std::min(d, SegmentDistance(px + 0.5, py + 0.5, pts[i - 1], pts[i]));
                    // Coverage of this stroke only; strokes of one glyph overlap
                    // rarely enough that stacking their edges is invisible.
                    Blend(px, py, colour, Clamp01(half + 0.5 - d));
                }
            }
        }
        pen += glyph.advance * scale;
    }
}

void Canvas::IconMark(double left, double top, double s) {
    const Colour tile = Hex(0x1F5F7A), sheet = Hex(0xF4F7F8), teeth = Hex(0xE09A2E);
    RoundedBox({left, top, left + s, top + s}, 0.2 * s, tile);
    RoundedBox({left + 0.24 * s, top + 0.14 * s, left + 0.76 * s, top + 0.86 * s}, 0.05 * s, sheet);
    for (int tooth = 0; tooth < 6; ++tooth) {
        const double x = left + (tooth % 2 == 0 ? 0.42 : 0.5) * s;
        const double y = top + (0.18 + tooth * 0.08) * s;
        RoundedBox({x, y + 0.01 * s, x + 0.08 * s, y + 0.07 * s}, 0.01 * s, teeth);
    }
    RoundedBox({left + 0.41 * s, top + 0.62 * s, left + 0.59 * s, top + 0.8 * s}, 0.05 * s, teeth);
    RoundedBox({left + 0.47 * s, top + 0.68 * s, left + 0.53 * s, top + 0.74 * s}, 0.02 * s, sheet);
}

bool Canvas::WriteBmp(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(m_width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(m_height);
    out.put('B');
    out.put('M');
    PutLe(out, 14 + 40 + imageBytes, 4);  // file size
    PutLe(out, 0, 4);                     // reserved
    PutLe(out, 14 + 40, 4);               // offset of the pixels
    PutLe(out, 40, 4);                    // BITMAPINFOHEADER
    PutLe(out, static_cast<std::uint32_t>(m_width), 4);
    PutLe(out, static_cast<std::uint32_t>(m_height), 4);  // positive: bottom-up rows
    PutLe(out, 1, 2);                                     // planes
    PutLe(out, 24, 2);                                    // bits per pixel
    PutLe(out, 0, 4);                                     // no compression
    PutLe(out, imageBytes, 4);
    PutLe(out, 2835, 4);  // 72 dpi
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    std::vector<char> row(rowBytes, 0);
    for (int y = m_height - 1; y >= 0; --y) {
        for (int x = 0; x < m_width; ++x) {
            const Colour& p = m_pixels[static_cast<size_t>(y) * m_width + x];
            row[x * 3 + 0] = static_cast<char>(std::lround(std::clamp(p.b, 0.0, 255.0)));
            row[x * 3 + 1] = static_cast<char>(std::lround(std::clamp(p.g, 0.0, 255.0)));
            row[x * 3 + 2] = static_cast<char>(std::lround(std::clamp(p.r, 0.0, 255.0)));
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return static_cast<bool>(out);
}

}  // namespace picturemaker
