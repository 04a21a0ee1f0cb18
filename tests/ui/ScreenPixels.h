// What a person would see: the pixels of a screen area as the X server (or,
// on Windows, the display driver) holds them (the toolkit's own screen
// reader can return stale pictures inside nested modal runs).
#pragma once

#include <wx/gdicmn.h>
#include <wx/image.h>

namespace tessaly::test {

// A black image of the area's size when the display cannot be read.
wxImage ScreenPixels(const wxRect& area);

}  // namespace tessaly::test
