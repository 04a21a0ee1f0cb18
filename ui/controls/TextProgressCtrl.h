// A progress bar that shows its percentage as text.
//
// CTextProgressCtrl keeps its own range, position, step and colours and
// paints itself through an off-screen buffer: the filled part in the bar
// colour, the rest in the background colour, and the percentage ("42 %")
// centred over both, drawn in the background colour where the bar covers it
// and in the bar colour elsewhere. A position change repaints only when the
// filled width in whole pixels changes. The setters return what the
// classic progress-bar messages return (previous position, previous colours
// and step, the range). A vertical bar (wxGA_VERTICAL) fills from the
// bottom and shows no text.
//
// It does not animate, pulse or talk to a native progress control.
#pragma once

#include <wx/control.h>
#include <wx/gauge.h>

#include "ui/controls/ColorRef.h"

namespace tessaly {

class CTextProgressCtrl : public wxControl {
public:
    struct Range {
        int low = 0;
        int high = 0;
    };

    CTextProgressCtrl() = default;
    CTextProgressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                      const wxSize& size = wxDefaultSize, long style = 0) {
        Create(parent, id, pos, size, style);
    }
    bool Create(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);

    // Position. Each returns the previous position, or -1 (and changes
    // nothing) while the control has no window.
    int SetPos(int position);
    int OffsetPos(int delta);
    int StepIt();
    int GetPos() const { return m_nPos; }
    int SetStep(int step);  // returns the previous step

    // Range. SetRange takes 16-bit ends, SetRange32 full ints; both return 0.
    int SetRange(short minimum, short maximum);
    int SetRange32(int minimum, int maximum);
    // Minimum when wantLow, else maximum; fills `range` when given.
    int GetRange(bool wantLow, Range* range = nullptr) const;

    // Colours (COLOR_DEFAULT = system colours); each returns the previous one.
    ColorRef SetBarColor(ColorRef colour);
    ColorRef SetBkColor(ColorRef colour);
    ColorRef SetTextColor(ColorRef colour);
    void ShowText(bool show);

    // Text to show instead of the percentage; empty shows the percentage.
    void SetProgressText(const wxString& text);

    // The last computed filled width in pixels, -1 before the first position.
    int BarWidth() const { return m_nBarWidth; }

    // Draws the whole control as it would appear at `size` into `dc`.
    void Render(wxDC& dc, const wxSize& size) const;

protected:
    wxSize DoGetBestSize() const override;

private:
    bool HasWindow() const { return GetHandle() != nullptr; }
    bool IsVertical() const { return HasFlag(wxGA_VERTICAL); }
    double Fraction() const;
    wxString CaptionText() const;
    void DrawCaption(wxDC& dc, const wxRect& client, const wxRect& filled, const wxRect& empty,
                     const wxColour& barColour, const wxColour& backColour) const;
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);

    ColorRef m_crText = COLOR_DEFAULT;
    int m_nPos = 0;
    int m_nStepSize = 1;
    int m_nMax = 100;
    int m_nMin = 0;
    wxString m_strText;
    bool m_bShowText = true;
    int m_nBarWidth = -1;
    ColorRef m_crBar = COLOR_DEFAULT;
    ColorRef m_crBk = COLOR_DEFAULT;
};

}  // namespace tessaly
