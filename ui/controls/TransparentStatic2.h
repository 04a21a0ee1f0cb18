// A label that paints its own background from a snapshot of what lies
// behind it on the dialog, then its text.
//
// CTransparentStatic2 takes the snapshot from the skinned dialog it sits on
// (see CDialogSkin) the first time it paints, and again when it moves,
// is resized or the dialog's picture changes. Every repaint starts from the
// snapshot, so a shorter new text leaves nothing of the old one. Text is
// word-wrapped to the label's width (long paths break after a separator)
// and aligned by wxALIGN_LEFT / wxALIGN_CENTRE_HORIZONTAL / wxALIGN_RIGHT.
//
// It takes no focus and handles no input.
#pragma once

#include <wx/bitmap.h>
#include <wx/control.h>

namespace tessaly {

class CTransparentStatic2 : public wxControl {
public:
    CTransparentStatic2() = default;
    CTransparentStatic2(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                        const wxSize& size = wxDefaultSize, long style = 0) {
        Create(parent, id, label, pos, size, style);
    }
    bool Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);

    void SetLabel(const wxString& label) override;
    bool AcceptsFocus() const override { return false; }

    // Draws the label as it appears at `size` into `dc`.
    void Render(wxDC& dc, const wxSize& size);

protected:
    wxSize DoGetBestSize() const override;

private:
    void TakeSnapshot(const wxSize& size);
    void OnPaint(wxPaintEvent& event);

    wxBitmap m_snapshot;        // the dialog's background behind the label
    wxBitmap m_snapshotSource;  // the picture the snapshot was taken from
    wxRect m_snapshotRect;      // where on the dialog it was taken
};

}  // namespace tessaly
