#include "ui/controls/TextProgressCtrl.h"

#include <wx/dcclient.h>
#include <wx/gauge.h>

#include "ui/controls/MemDC.h"

namespace tessaly {

bool CTextProgressCtrl::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style) {
    // The control paints every pixel itself; the toolkit never erases it.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // Borderless unless asked for one (the saving dialog's bars are bordered).
    if (!(style & wxBORDER_MASK)) style |= wxBORDER_NONE;
    if (!wxControl::Create(parent, id, pos, size, style)) return false;
    Bind(wxEVT_PAINT, &CTextProgressCtrl::OnPaint, this);
    Bind(wxEVT_SIZE, &CTextProgressCtrl::OnSize, this);
    return true;
}

int CTextProgressCtrl::SetPos(int position) {
    if (!HasWindow()) return -1;
    const int previous = m_nPos;
    m_nPos = position;
    const int width = GetClientSize().GetWidth();
    const int barWidth = static_cast<int>(width * Fraction());
    if (barWidth != m_nBarWidth) {
        m_nBarWidth = barWidth;
        Refresh();
        Update();
    }
    return previous;
}

int CTextProgressCtrl::OffsetPos(int delta) { return SetPos(m_nPos + delta); }

int CTextProgressCtrl::StepIt() { return SetPos(m_nPos + m_nStepSize); }

int CTextProgressCtrl::SetStep(int step) {
    const int previous = m_nStepSize;
    m_nStepSize = step;
    return previous;
}

int CTextProgressCtrl::SetRange(short minimum, short maximum) { return SetRange32(minimum, maximum); }

int CTextProgressCtrl::SetRange32(int minimum, int maximum) {
    m_nMin = minimum;
    m_nMax = maximum;
    return 0;
}

int CTextProgressCtrl::GetRange(bool wantLow, Range* range) const {
    if (range) {
        range->low = m_nMin;
        range->high = m_nMax;
    }
    return wantLow ? m_nMin : m_nMax;
}

ColorRef CTextProgressCtrl::SetBarColor(ColorRef colour) {
    if (HasWindow()) Refresh();
    const ColorRef previous = m_crBar;
    m_crBar = colour;
    return previous;
}

ColorRef CTextProgressCtrl::SetBkColor(ColorRef colour) {
    if (HasWindow()) Refresh();
    const ColorRef previous = m_crBk;
    m_crBk = colour;
    return previous;
}

ColorRef CTextProgressCtrl::SetTextColor(ColorRef colour) {
    if (HasWindow()) Refresh();
    const ColorRef previous = m_crText;
    m_crText = colour;
    return previous;
}

void CTextProgressCtrl::ShowText(bool show) {
    if (HasWindow() && show != m_bShowText) Refresh();
    m_bShowText = show;
}

void CTextProgressCtrl::SetProgressText(const wxString& text) {
    m_strText = text;
    if (HasWindow()) Refresh();
}

double CTextProgressCtrl::Fraction() const {
    // An empty range has no fraction; treating it as 0 keeps the width
    // computation of SetPos free of a division by zero (nothing is painted for
    // such a range anyway).
    if (m_nMax == m_nMin) return 0.0;
    return static_cast<double>(m_nPos - m_nMin) / static_cast<double>(m_nMax - m_nMin);
}

wxString CTextProgressCtrl::CaptionText() const {
    if (!m_strText.empty()) return m_strText;
    return wxString::Format("%d %%", static_cast<int>(Fraction() * 100.0));
}

void CTextProgressCtrl::Render(wxDC& dc, const wxSize& size) const {
    if (m_nMin >= m_nMax) return;
    const wxColour barColour = ResolveColour(m_crBar, wxSYS_COLOUR_HIGHLIGHT);
    const wxColour backColour = ResolveColour(m_crBk, wxSYS_COLOUR_WINDOW);
    const double fraction = Fraction();
    const wxRect client(size);
    wxRect filled = client;
    wxRect empty = client;
    if (IsVertical()) {
        const int boundary = client.GetBottom() + 1 - static_cast<int>(fraction * client.height);
        filled.SetTop(boundary);
        filled.SetBottom(client.GetBottom());
        empty.SetBottom(boundary - 1);
    } else {
        const int boundary = client.x + static_cast<int>(client.width * fraction);
        filled.SetRight(boundary - 1);
        empty.SetLeft(boundary);
        empty.SetRight(client.GetRight());
    }
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(barColour));
    dc.DrawRectangle(filled);
    dc.SetBrush(wxBrush(backColour));
    dc.DrawRectangle(empty);
    if (m_bShowText && !IsVertical()) DrawCaption(dc, client, filled, empty, barColour, backColour);
}

void CTextProgressCtrl::DrawCaption(wxDC& dc, const wxRect& client, const wxRect& filled, const wxRect& empty,
                                    const wxColour& barColour, const wxColour& backColour) const {
    dc.SetFont(GetParent() ? GetParent()->GetFont() : GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const wxString text = CaptionText();
    const bool contrasting = m_crText == COLOR_DEFAULT;
    const struct {
        wxRect clip;
        wxColour colour;
    } halves[] = {
        {filled, contrasting ? backColour : ToColour(m_crText)},
        {empty, contrasting ? barColour : ToColour(m_crText)},
    };
    for (const auto& half : halves) {
        if (half.clip.IsEmpty()) continue;
        wxDCClipper clip(dc, half.clip);
        dc.SetTextForeground(half.colour);
        dc.DrawLabel(text, client, wxALIGN_CENTER);
    }
}

wxSize CTextProgressCtrl::DoGetBestSize() const { return FromDIP(wxSize(100, 16)); }

void CTextProgressCtrl::OnPaint(wxPaintEvent&) {
    CMemDC dc(this);
    // Nothing is drawn for an empty range, so the window keeps what its
    // parent shows behind it.
    Render(dc, GetClientSize());
}

void CTextProgressCtrl::OnSize(wxSizeEvent& event) {
    event.Skip();
    m_nBarWidth = -1;
    Refresh();
}

}  // namespace tessaly
