// Makes the program's pictures: the six dialog backgrounds and the splash
// picture, as 24-bit BMP files in the folder given on the command line, and
// the icon file of the Windows executable, tessaly-zip.ico.
//
// One visual identity for all of them: a deep teal header band with the
// icon mark, the product name in white and the step in pale teal, a thin
// amber rule under the band, and a calm light body behind the controls,
// where dark label text reads well. Each picture is sized to its dialog as
// GTK lays it out (about 2 x 2.13 pixels per dialog unit); the header band
// ends above the first control of each dialog.
//
// Usage: tessaly-make-pictures <output folder>
#include <cstdio>
#include <string>

#include "Canvas.h"
#include "core/Version.h"
#include "res/icon/IconFile.h"

using namespace picturemaker;

namespace {

const Colour kBandTop = Hex(0x22677F);
const Colour kBandBottom = Hex(0x17495E);
const Colour kAmber = Hex(0xE09A2E);
const Colour kWhite = Hex(0xFFFFFF);
const Colour kPale = Hex(0xCBE2EA);
const Colour kBodyTop = Hex(0xF5F8FA);
const Colour kBodyBottom = Hex(0xE2EBF0);
const Colour kTeal = Hex(0x1F5F7A);
const Colour kRingLight = Hex(0x6FA8BC);

const std::string kProduct = "Tessaly for Zip";

struct Header {
    double height;     // band height in pixels
    double title;      // cap height of the product name
    std::string step;  // the dialog's step, under the name
};

void Body(Canvas& canvas, double top) {
    canvas.VerticalGradient({0, top, double(canvas.Width()), double(canvas.Height())}, kBodyTop, kBodyBottom);
}

// Quiet concentric arcs at the band's right end.
void Rings(Canvas& canvas, const Box& area) {
    const double cx = area.right - area.bottom * 0.35;
    const double cy = area.top + (area.bottom - area.top) * 0.5;
    for (int i = 1; i <= 5; ++i) canvas.Ring(cx, cy, i * (area.bottom - area.top) * 0.32, 2.0, kRingLight, 0.22, area);
}

void HeaderBand(Canvas& canvas, const Header& header) {
    const Box band{0, 0, double(canvas.Width()), header.height};
    canvas.VerticalGradient(band, kBandTop, kBandBottom);
    Rings(canvas, band);
    canvas.VerticalGradient({0, header.height, double(canvas.Width()), header.height + 3}, kAmber, kAmber);
    const double stepCap = header.title * 0.46;
    const double block = header.title + stepCap * 2.2;
    const double top = (header.height - block) / 2;
    const double mark = block * 1.05;
    const double left = header.height * 0.22;
    // A pale rim keeps the teal icon tile apart from the teal band.
    const double markTop = (header.height - mark) / 2;
    canvas.RoundedBox({left - 2, markTop - 2, left + mark + 2, markTop + mark + 2}, 0.2 * mark + 2, kPale, 0.55);
    canvas.IconMark(left, markTop, mark);
    const double textLeft = left + mark + header.title * 0.55;
    canvas.Text(textLeft, top + header.title, header.title, 1.0, kWhite, kProduct);
    canvas.Text(textLeft, top + block, stepCap, 0.9, kPale, header.step);
}

Canvas Dialog(int width, int height, const Header& header) {
    Canvas canvas(width, height, kBodyTop);
    Body(canvas, header.height + 3);
    HeaderBand(canvas, header);
    return canvas;
}

// The About box: its group box starts at the very top, so the name sits
// inside it on the light body, with the icon mark and an amber rule.
Canvas About() {
    Canvas canvas(534, 405, kBodyTop);
    Body(canvas, 0);
    const double cap = 26;
    const double mark = 46;
    const double width = mark + 14 + Canvas::TextWidth(cap, kProduct);
    const double left = (canvas.Width() - width) / 2;
    canvas.IconMark(left, 24, mark);
    canvas.Text(left + mark + 14, 24 + mark / 2 + cap / 2, cap, 1.0, kTeal, kProduct);
    canvas.VerticalGradient({left, 80, left + width, 82}, kAmber, kAmber);
    canvas.VerticalGradient({0, 397, 534, 405}, kBandTop, kBandBottom);
    return canvas;
}

// The splash: a rounded teal card on the colour key (255, 0, 240), whose
// pixels become the transparent surround of the splash window. The card's
// edge is hard so that no blend of the key colour shows.
Canvas Splash() {
    const Colour key{255, 0, 240};
    Canvas canvas(480, 280, key);
    const Box card{8, 8, 472, 272};
    canvas.RoundedGradient(card, 22, kBandTop, kBandBottom, true);
    for (int i = 1; i <= 6; ++i)
        canvas.Ring(card.right - 70, card.top + 60, i * 44.0, 2.0, kRingLight, 0.2,
                    {card.left + 24, card.top + 12, card.right - 24, card.bottom - 12});
    canvas.RoundedBox({40, 84, 136, 180}, 21, kPale, 0.55);
    canvas.IconMark(42, 86, 92);
    canvas.Text(160, 126, 28, 1.0, kWhite, kProduct);
    canvas.Text(161, 158, 12, 0.9, kPale, "Salvages damaged ZIP archives");
    canvas.VerticalGradient({161, 176, 430, 179}, kAmber, kAmber);
    canvas.Text(352, 240, 11, 0.9, kPale, tessaly::kVersionCaption);
    return canvas;
}

bool Write(const Canvas& canvas, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name;
    if (canvas.WriteBmp(path)) return true;
    std::fprintf(stderr, "tessaly-make-pictures: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaly-make-pictures <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = Write(Dialog(968, 622, {104, 30, "Salvage the files of damaged ZIP archives"}), folder, "Browse.bmp");
    ok &= Write(Dialog(968, 622, {92, 28, "Preview of the files that can be salvaged"}), folder, "preview.bmp");
    ok &= Write(Dialog(428, 207, {66, 20, "Analysing the archive"}), folder, "analysis.bmp");
    ok &= Write(Dialog(698, 445, {68, 22, "Saving the salvaged files"}), folder, "file-saving.bmp");
    ok &= Write(Dialog(372, 192, {62, 18, "Saving completed"}), folder, "view-log.bmp");
    ok &= Write(Dialog(400, 204, {62, 18, "Password for encrypted files"}), folder, "password.bmp");
    ok &= Write(About(), folder, "about.bmp");
    ok &= Write(Splash(), folder, "Flash.bmp");
    if (!tessaly::WriteIconFile(folder + "/tessaly-zip.ico")) {
        std::fprintf(stderr, "tessaly-make-pictures: cannot write %s/tessaly-zip.ico\n", folder.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}
