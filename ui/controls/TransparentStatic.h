// A label that shows the dialog's picture behind its text and leaves no
// remains of a longer old text when its text changes.
//
// CTransparentStatic is the native label (it has no background of its own
// on GTK). On a text change it asks its parent to repaint the area it
// covers at once, so the picture is restored where the old text was.
// It does not draw anything itself; see CTransparentStatic2 for the label
// that paints its own background.
#pragma once

#include <wx/stattext.h>

namespace tessaly {

class CTransparentStatic : public wxStaticText {
public:
    using wxStaticText::wxStaticText;

    void SetLabel(const wxString& label) override;
};

}  // namespace tessaly
