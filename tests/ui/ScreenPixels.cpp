#include "tests/ui/ScreenPixels.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tessaly::test {

wxImage ScreenPixels(const wxRect& area) {
    wxImage image(area.width, area.height);
    Display* display = XOpenDisplay(nullptr);
    if (!display) return image;
    XImage* pixels =
        XGetImage(display, DefaultRootWindow(display), area.x, area.y, area.width, area.height, AllPlanes, ZPixmap);
    if (pixels) {
        for (int y = 0; y < area.height; ++y)
            for (int x = 0; x < area.width; ++x) {
                const unsigned long pixel = XGetPixel(pixels, x, y);
                image.SetRGB(x, y, (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
            }
        XDestroyImage(pixels);
    }
    XCloseDisplay(display);
    return image;
}

}  // namespace tessaly::test
