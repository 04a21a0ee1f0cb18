#include "tests/ui/ScreenPixels.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace tessaly::test {

#ifdef _WIN32
// The screen as the display driver holds it, copied through a DIB section.
wxImage ScreenPixels(const wxRect& area) {
    wxImage image(area.width, area.height);
    HDC screen = ::GetDC(nullptr);
    if (!screen) return image;
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = area.width;
    info.bmiHeader.biHeight = -area.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory && bitmap && bits) {
        HGDIOBJ before = ::SelectObject(memory, bitmap);
        if (::BitBlt(memory, 0, 0, area.width, area.height, screen, area.x, area.y, SRCCOPY)) {
            ::GdiFlush();
            const auto* pixel = static_cast<const unsigned char*>(bits);  // blue, green, red, unused
            for (int y = 0; y < area.height; ++y)
                for (int x = 0; x < area.width; ++x, pixel += 4) image.SetRGB(x, y, pixel[2], pixel[1], pixel[0]);
        }
        ::SelectObject(memory, before);
    }
    if (bitmap) ::DeleteObject(bitmap);
    if (memory) ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return image;
}
#else
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
#endif

}  // namespace tessaly::test
