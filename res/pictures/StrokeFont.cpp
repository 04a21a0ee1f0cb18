#include "StrokeFont.h"

#include <cmath>
#include <map>
#include <sstream>

namespace picturemaker {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Parses a glyph outline: "M x y" starts a stroke, "L x y" extends it,
// "A cx cy rx ry from to" extends it with an elliptic arc (degrees,
// counter-clockwise with y up; from > to sweeps clockwise).
Glyph Parse(const char* outline, double advance) {
    Glyph glyph;
    glyph.advance = advance;
    std::istringstream in(outline);
    char op;
    while (in >> op) {
        if (op == 'M' || op == 'L') {
            Point p{};
            in >> p.x >> p.y;
            if (op == 'M' || glyph.strokes.empty()) glyph.strokes.emplace_back();
            glyph.strokes.back().push_back(p);
        } else if (op == 'A') {
            double cx, cy, rx, ry, from, to;
            in >> cx >> cy >> rx >> ry >> from >> to;
            if (glyph.strokes.empty()) glyph.strokes.emplace_back();
            const int steps = static_cast<int>(std::ceil(std::fabs(to - from) / 6.0));
            for (int i = 0; i <= steps; ++i) {
                const double a = (from + (to - from) * i / steps) * kPi / 180.0;
                glyph.strokes.back().push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
            }
        } else if (op == 'N') {  // next arc starts a new stroke
            glyph.strokes.emplace_back();
        }
    }
    return glyph;
}

std::map<char, Glyph> MakeFont() {
    std::map<char, Glyph> font;
    const struct {
        char ch;
        const char* outline;
        double advance;
    } table[] = {
        {'a', "A 2.2 2.5 2.2 2.5 0 360 M 4.4 5 L 4.4 0", 5.6},
        {'b', "M 0 7.4 L 0 0 N A 2.2 2.5 2.2 2.5 0 360", 5.6},
        {'c', "A 2.4 2.5 2.4 2.5 40 320", 5.2},
        {'d', "A 2.2 2.5 2.2 2.5 0 360 M 4.4 7.4 L 4.4 0", 5.6},
        {'e', "M 0.05 2.5 L 4.7 2.5 A 2.375 2.5 2.325 2.5 0 320", 5.5},
        {'f', "M 1.2 0 L 1.2 5.9 A 2.7 5.9 1.5 1.5 180 30 M 0 4.9 L 3 4.9", 3.6},
        {'g', "A 2.2 2.5 2.2 2.5 0 360 M 4.4 5 L 4.4 -0.6 A 2.2 -0.6 2.2 1.8 0 -155", 5.6},
        {'h', "M 0 7.4 L 0 0 M 0 2.9 A 2.1 2.9 2.1 2.1 180 0 L 4.2 0", 5.4},
        {'i', "M 0 0 L 0 5 M 0 6.7 L 0 6.8", 1.8},
        {'j', "M 1.2 5 L 1.2 -1 A 0 -1 1.2 1.4 0 -150 M 1.2 6.7 L 1.2 6.8", 2.8},
        {'k', "M 0 7.4 L 0 0 M 3.8 5 L 0 1.7 M 1.4 2.9 L 4 0", 4.9},
        {'l', "M 0 7.4 L 0 0", 1.8},
        {'m',
         "M 0 0 L 0 5 M 0 3.3 A 1.65 3.3 1.65 1.7 180 0 L 3.3 0 M 3.3 3.3 "
         "A 4.95 3.3 1.65 1.7 180 0 L 6.6 0",
         7.8},
        {'n', "M 0 0 L 0 5 M 0 2.9 A 2.1 2.9 2.1 2.1 180 0 L 4.2 0", 5.4},
        {'o', "A 2.45 2.5 2.45 2.5 0 360", 6.1},
        {'p', "M 0 5 L 0 -2.4 N A 2.2 2.5 2.2 2.5 0 360", 5.6},
        {'q', "A 2.2 2.5 2.2 2.5 0 360 M 4.4 5 L 4.4 -2.4", 5.6},
        {'r', "M 0 0 L 0 5 M 0 2.8 A 2.2 2.8 2.2 2.2 180 65", 3.6},
        {'s', "A 2 3.75 1.8 1.25 25 270 A 2 1.25 1.9 1.25 90 -155", 5.0},
        {'t', "M 1 6.6 L 1 0.9 A 2.1 0.9 1.1 0.9 180 270 M 0 5 L 2.8 5", 3.6},
        {'u', "M 0 5 L 0 2.1 A 2.1 2.1 2.1 2.1 180 360 M 4.2 5 L 4.2 0", 5.4},
        {'v', "M 0 5 L 2.1 0 L 4.2 5", 5.2},
        {'w', "M 0 5 L 1.6 0 L 3.2 4.6 L 4.8 0 L 6.4 5", 7.4},
        {'x', "M 0 5 L 4 0 M 0 0 L 4 5", 5.0},
        {'y', "M 0 5 L 2.1 0 M 4.2 5 L 1.2 -2.4", 5.2},
        {'z', "M 0 5 L 4 5 L 0 0 L 4 0", 5.0},
        {'A', "M 0 0 L 2.7 7 L 5.4 0 M 1 2.4 L 4.4 2.4", 6.4},
        {'C', "A 3.1 3.5 3.1 3.5 42 318", 6.6},
        {'F', "M 4.1 7 L 0 7 L 0 0 M 0 3.7 L 3.5 3.7", 5.0},
        {'I', "M 0 0 L 0 7", 1.8},
        {'P', "M 0 0 L 0 7 L 2.5 7 A 2.5 5.1 2 1.9 90 -90 L 0 3.2", 5.6},
        {'R', "M 0 0 L 0 7 L 2.5 7 A 2.5 5.1 2 1.9 90 -90 L 0 3.2 M 2.4 3.2 L 4.6 0", 5.8},
        {'S', "A 2.6 5.25 2.3 1.75 25 270 A 2.6 1.75 2.5 1.75 90 -155", 6.0},
        {'T', "M 0 7 L 5.2 7 M 2.6 7 L 2.6 0", 6.0},
        {'V', "M 0 7 L 2.8 0 L 5.6 7", 6.4},
        {'Z', "M 0 7 L 4.9 7 L 0 0 L 4.9 0", 5.9},
        {'0', "A 2.3 3.5 2.3 3.5 0 360", 5.6},
        {'2', "A 2.2 5.05 2.05 1.95 160 -30 L 0 0 L 4.4 0", 5.6},
        {'.', "M 0 0 L 0 0.1", 1.8},
        {'-', "M 0 2.6 L 2.6 2.6", 3.6},
    };
    for (const auto& entry : table) font[entry.ch] = Parse(entry.outline, entry.advance);
    return font;
}

}  // namespace

const Glyph& GlyphOf(char ch) {
    static const std::map<char, Glyph> font = MakeFont();
    static const Glyph blank{{}, 2.6};
    const auto found = font.find(ch);
    return found == font.end() ? blank : found->second;
}

double TextAdvance(const std::string& text) {
    double width = 0;
    for (const char ch : text) width += GlyphOf(ch).advance;
    return width;
}

}  // namespace picturemaker
