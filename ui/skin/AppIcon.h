// The program's icon, drawn in code so that no icon file has to be found at
// run time: a rounded teal tile with a zip fastener running down a white
// sheet. Used for window icons and the About dialog's picture.
#pragma once

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace tessaly {

// The icon at `size` x `size` pixels, with a transparent surround.
wxBitmap AppIconBitmap(int size);

// The icon at the sizes window managers ask for (16, 32, 48, 64).
wxIconBundle AppIcons();

}  // namespace tessaly
