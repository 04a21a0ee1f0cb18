// A button that looks like a web link: underlined bold text in the link
// colour, the hover colour while the mouse is over it, the visited colour
// (0x800080) once its owner has opened the link, and the gray-text colour
// while disabled; the hand cursor over it.
//
// A mouse click sends the usual button command (wxEVT_BUTTON with the
// control's id) to the owner, which opens the link and then calls
// SetVisited. Space and Enter never activate it, and are not passed on to
// the dialog either, so Enter on a focused link does not press the
// dialog's default button.
//
// It does not open anything itself.
#pragma once

#include <wx/control.h>
#include <wx/font.h>

#include "ui/controls/ColorRef.h"

namespace tessaly {

class CURLLinkButton : public wxControl {
public:
    CURLLinkButton();
    CURLLinkButton(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                   const wxSize& size = wxDefaultSize)
        : CURLLinkButton() {
        Create(parent, id, label, pos, size);
    }
    bool Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize);

    void SetVisited(bool visited = true);
    bool IsVisited() const { return m_bVisited; }
    bool IsHovered() const { return m_bHover; }

    // The colour the text is drawn in right now, and the four it chooses from.
    wxColour CurrentTextColour() const;
    const wxColour& LinkColour() const { return m_crLink; }
    const wxColour& HoverColour() const { return m_crHover; }
    const wxColour& VisitedColour() const { return m_crVisited; }
    const wxColour& DisabledColour() const { return m_crDisabled; }

    // Draws the control as it appears at `size` into `dc`.
    void Render(wxDC& dc, const wxSize& size);

protected:
    wxSize DoGetBestSize() const override;

private:
    const wxFont& LinkFont();
    void Activate();
    void OnPaint(wxPaintEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnFocusChange(wxFocusEvent& event);

    wxColour m_crLink;
    wxColour m_crHover;
    wxColour m_crVisited;
    wxColour m_crDisabled;
    bool m_bHover = false;
    bool m_bPressed = false;  // left button went down over the control
    wxFont m_font;            // made at the first draw from the control's font
    bool m_bKeyFlag = false;  // an Enter or Space key-down was swallowed
    bool m_bVisited = false;
};

}  // namespace tessaly
