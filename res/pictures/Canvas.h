// An RGB drawing surface for the picture maker: gradients, rounded boxes,
// rings, stroke-font text, and a writer for uncompressed 24-bit BMP files.
// Edges are anti-aliased by coverage unless a shape asks for hard edges
// (the splash picture's colour key must not blend into its content).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picturemaker {

struct Colour {
    double r, g, b;  // 0..255
};

Colour Hex(std::uint32_t rgb);
Colour Mix(const Colour& a, const Colour& b, double t);

struct Box {
    double left, top, right, bottom;
};

class Canvas {
public:
    Canvas(int width, int height, const Colour& fill);

    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void VerticalGradient(const Box& box, const Colour& top, const Colour& bottom);
    // A rounded box; `opacity` scales its coverage; hardEdge paints a pixel
    // fully or not at all.
    void RoundedBox(const Box& box, double radius, const Colour& colour, double opacity = 1.0, bool hardEdge = false);
    // A rounded box filled with a vertical gradient.
    void RoundedGradient(const Box& box, double radius, const Colour& top, const Colour& bottom, bool hardEdge = false,
                         double opacity = 1.0);
    // A circle outline of radius `radius` and stroke `width`, limited to `clip`.
    void Ring(double cx, double cy, double radius, double width, const Colour& colour, double opacity, const Box& clip);
    // Text with its baseline at y; the cap height is capHeight pixels.
    void Text(double x, double baseline, double capHeight, double weight, const Colour& colour,
              const std::string& text);
    static double TextWidth(double capHeight, const std::string& text);

    // The program's icon mark in a square box of side `size`.
    void IconMark(double left, double top, double size);

    bool WriteBmp(const std::string& path) const;

private:
    void Blend(int x, int y, const Colour& colour, double coverage);

    int m_width;
    int m_height;
    std::vector<Colour> m_pixels;
};

}  // namespace picturemaker
