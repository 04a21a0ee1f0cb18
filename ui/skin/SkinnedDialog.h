// A dialog that wears a CDialogSkin: the base of every dialog of the
// program. The client area is given in dialog units, as the templates give
// it; the picture is loaded by the dialog itself (LoadBackground), at
// construction or at each initialisation as the dialog needs.
#pragma once

#include <wx/dialog.h>

#include "ui/skin/DialogSkin.h"

namespace tessaly {

class CSkinnedDialog : public wxDialog {
public:
    CSkinnedDialog() { m_skin.Attach(this); }

    // Creates the window with a client area of `width` x `height` dialog units.
    bool Create(wxWindow* parent, wxWindowID id, const wxString& caption, int width, int height,
                long style = wxDEFAULT_DIALOG_STYLE);

    bool LoadBackground(const std::filesystem::path& programFolder, const wxString& fileName) {
        return m_skin.LoadBackground(programFolder, fileName);
    }
    bool HasBackground() const { return m_skin.HasBackground(); }
    const CDialogSkin& Skin() const { return m_skin; }
    // Makes the client area `pixels` taller than its layout, below it (see
    // CDialogSkin::SetGrownBelow).
    void GrowBelowLayout(int pixels);

    // Shows the window at once (see ShowNow).
    bool Show(bool show = true) override;

#ifdef __WXMSW__
    // The picture shows behind the native controls' text.
    WXHBRUSH MSWGetCustomBgBrush() override { return m_skin.ControlsBrush(); }
#endif

private:
    CDialogSkin m_skin;
};

// A window shown deep inside nested modal runs (the completion dialog opened
// when the saving worker ends) can stay off the screen on X11 until some
// other window draws: its request to appear waits in the connection's
// buffer. Drawing the just-shown `window` at once sends it out.
void ShowNow(wxWindow* window);

}  // namespace tessaly
