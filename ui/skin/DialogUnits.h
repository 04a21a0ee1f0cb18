// Dialog-unit geometry: every dialog of the program is laid out in dialog
// units, which scale with the dialog's font. These helpers turn template
// positions into pixels of the window they are placed in. They do not lay
// anything out by themselves.
#pragma once

#include <wx/window.h>

namespace tessaly {

// A template rectangle (x, y, width, height in dialog units) in pixels of
// `dialog`'s client area.
inline wxRect DialogRect(const wxWindow* dialog, int x, int y, int width, int height) {
    const wxPoint origin = dialog->ConvertDialogToPixels(wxPoint(x, y));
    const wxSize size = dialog->ConvertDialogToPixels(wxSize(width, height));
    return wxRect(origin, size);
}

// The client size of a dialog whose template is `width` x `height` units.
inline wxSize DialogSize(const wxWindow* dialog, int width, int height) {
    return dialog->ConvertDialogToPixels(wxSize(width, height));
}

}  // namespace tessaly
