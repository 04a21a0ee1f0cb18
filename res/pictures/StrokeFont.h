// A small stroke font for the titles painted into the dialog pictures: each
// glyph is a few polylines on a grid with the baseline at 0, x-height 5 and
// cap height 7, drawn later with round ends at any size. It covers the
// letters, digits and marks the pictures use; anything else draws as a gap.
#pragma once

#include <string>
#include <vector>

namespace picturemaker {

struct Point {
    double x, y;
};
using Polyline = std::vector<Point>;

struct Glyph {
    std::vector<Polyline> strokes;
    double advance = 0;  // grid units to the next glyph
};

// The glyph of `ch`, or an empty glyph with a blank's advance.
const Glyph& GlyphOf(char ch);

// Width of `text` in grid units.
double TextAdvance(const std::string& text);

}  // namespace picturemaker
