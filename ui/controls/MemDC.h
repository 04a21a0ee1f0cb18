// Off-screen drawing for the custom controls.
//
// CMemDC is a paint context that draws into an off-screen bitmap of the
// window's update area and copies it to the screen when it goes out of
// scope, so a control that paints its whole client area in several layers
// never flickers. Where the window system already double-buffers windows
// (GTK 3) it draws directly. Controls paint through a plain wxDC& so that
// tests can render them into a memory bitmap instead.
#pragma once

#include <wx/dcbuffer.h>

namespace tessaly {

class CMemDC : public wxBufferedPaintDC {
public:
    explicit CMemDC(wxWindow* window) : wxBufferedPaintDC(window) {}
};

}  // namespace tessaly
