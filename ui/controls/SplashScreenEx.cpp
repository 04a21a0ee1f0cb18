#include "ui/controls/SplashScreenEx.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/settings.h>

namespace tessaly {
namespace {

constexpr long kFrameStyle = wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR | wxFRAME_SHAPED;
constexpr int kFadeStepMs = 20;

// Handles pending drawing and window-system events, so the splash appears
// although its caller is about to wait without an event loop running.
void YieldForDrawing() {
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
        loop->YieldFor(wxEVT_CATEGORY_UI);
        return;
    }
    wxEventLoop loop;
    wxEventLoopActivator activate(&loop);
    loop.YieldFor(wxEVT_CATEGORY_UI);
}

// Lines of `text` no wider than `width`, broken at blanks.
wxArrayString WordWrap(const wxDC& dc, const wxString& text, int width) {
    wxArrayString lines;
    wxString line;
    for (const wxString& word : wxSplit(text, ' ', '\0')) {
        const wxString candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.GetTextExtent(candidate).GetWidth() > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

bool CSplashScreenEx::Create(wxWindow* owner, const wxString& text, unsigned timeout, unsigned style) {
    m_pWndOwner = owner;
    m_strText = text;
    m_dwTimeout = timeout;
    m_dwStyle = style;
    m_myFont = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    // The drop shadow is the window manager's business on X11; there is no
    // portable request for it, so SPLASH_DROP_SHADOW changes nothing here.
    wxWindow* parent = owner && owner->GetHandle() ? owner : nullptr;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxFrame::Create(parent, wxID_ANY, wxString(), wxPoint(0, 0), wxSize(1, 1), kFrameStyle)) return false;
    Bind(wxEVT_PAINT, &CSplashScreenEx::OnPaint, this);
    Bind(wxEVT_TIMER, &CSplashScreenEx::OnTimer, this);
    m_timer.SetOwner(this);
    if (m_dwStyle & SPLASH_HIDE_ON_CLICK) {
        for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_RIGHT_DOWN, wxEVT_MIDDLE_DOWN})
            Bind(type, &CSplashScreenEx::OnPress, this);
        Bind(wxEVT_KEY_DOWN, &CSplashScreenEx::OnPress, this);
    }
    return true;
}

bool CSplashScreenEx::SetBitmap(const wxString& path, int red, int green, int blue) {
    wxImage picture;
    if (wxFileExists(path)) {
        wxLogNull quiet;
        picture.LoadFile(path);
    }
    if (!picture.IsOk()) return false;
    m_bitmap = wxBitmap(picture);
    m_nBitmapWidth = picture.GetWidth();
    m_nBitmapHeight = picture.GetHeight();
    m_rcText = wxRect(0, 0, m_nBitmapWidth, m_nBitmapHeight);
    Centre();
    if (red != -1 && green != -1 && blue != -1) {
        m_region = ShapeOf(picture, wxColour(red & 0xFF, green & 0xFF, blue & 0xFF));
        SetSize(m_nxPos, m_nyPos, m_nBitmapWidth, m_nBitmapHeight);
        SetShape(m_region);
        Refresh();
    }
    return true;
}

void CSplashScreenEx::Centre() {
    wxRect area;
    if (m_dwStyle & SPLASH_CENTER_SCREEN)
        area = wxGetClientDisplayRect();
    else if ((m_dwStyle & SPLASH_CENTER_OWNER) && m_pWndOwner)
        area = m_pWndOwner->GetScreenRect();
    else
        return;
    m_nxPos = area.x + (area.width - m_nBitmapWidth) / 2;
    m_nyPos = area.y + (area.height - m_nBitmapHeight) / 2;
}

void CSplashScreenEx::Show() {
    SetSize(m_nxPos, m_nyPos, m_nBitmapWidth, m_nBitmapHeight);
    const bool fade = (m_dwStyle & SPLASH_FADE_IN) && CanFade();
    // The first alpha must be set before the window appears, or it flashes
    // fully opaque for a moment.
    if (fade) SetTransparent(0);
    wxFrame::Show(true);
    if (fade) Fade(0, wxIMAGE_ALPHA_OPAQUE, kFadeInMs);
    // The caller usually waits without handling events while the splash is
    // up, so let it appear and paint now.
    Update();
    YieldForDrawing();
    if (m_dwTimeout != 0) m_timer.StartOnce(static_cast<int>(m_dwTimeout));
}

void CSplashScreenEx::Hide() {
    if (m_bHiding) return;
    m_bHiding = true;
    m_timer.Stop();
    if ((m_dwStyle & SPLASH_FADE_OUT) && CanFade()) Fade(wxIMAGE_ALPHA_OPAQUE, 0, kFadeOutMs);
    wxFrame::Show(false);
    Destroy();
}

void CSplashScreenEx::SetText(const wxString& text) {
    m_strText = text;
    Refresh();
}

void CSplashScreenEx::SetTextColour(const wxColour& colour) {
    m_crTextColor = colour;
    Refresh();
}

bool CSplashScreenEx::CanFade() const {
    // Without a compositing manager an alpha below 255 darkens the window
    // instead of making it translucent.
    return const_cast<CSplashScreenEx*>(this)->CanSetTransparent();
}

void CSplashScreenEx::Fade(int fromAlpha, int toAlpha, int durationMs) {
    const int steps = std::max(1, durationMs / kFadeStepMs);
    for (int i = 1; i <= steps; ++i) {
        SetTransparent(static_cast<wxByte>(fromAlpha + (toAlpha - fromAlpha) * i / steps));
        YieldForDrawing();
        wxMilliSleep(kFadeStepMs);
    }
}

void CSplashScreenEx::Render(wxDC& dc) const {
    if (m_bitmap.IsOk()) dc.DrawBitmap(m_bitmap, 0, 0);
    if (m_strText.empty()) return;
    dc.SetFont(m_myFont);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(m_crTextColor);
    const wxArrayString lines = WordWrap(dc, m_strText, m_rcText.width);
    const int lineHeight = dc.GetCharHeight();
    const int top = m_rcText.y + (m_rcText.height - lineHeight * static_cast<int>(lines.size())) / 2;
    for (size_t i = 0; i < lines.size(); ++i) {
        const wxRect row(m_rcText.x, top + static_cast<int>(i) * lineHeight, m_rcText.width, lineHeight);
        dc.DrawLabel(lines[i], row, wxALIGN_CENTER);
    }
}

std::vector<wxRect> CSplashScreenEx::OpaqueRuns(const wxImage& picture, const wxColour& key) {
    std::vector<wxRect> runs;
    runs.reserve(40);
    const int width = picture.GetWidth();
    const unsigned char* pixels = picture.GetData();
    for (int y = picture.GetHeight() - 1; y >= 0; --y) {
        const unsigned char* row = pixels + static_cast<size_t>(y) * width * 3;
        int start = -1;
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row + x * 3;
            const bool opaque = p[0] != key.Red() || p[1] != key.Green() || p[2] != key.Blue();
            if (opaque && start < 0) start = x;
            // A run ends just before the key pixel that closes it, also in the
            // last column, so a key-coloured right border never shows.
            if (!opaque && start >= 0) {
                runs.emplace_back(start, y, x - start, 1);
                start = -1;
            }
        }
        if (start >= 0) runs.emplace_back(start, y, width - start, 1);
    }
    return runs;
}

wxRegion CSplashScreenEx::ShapeOf(const wxImage& picture, const wxColour& key) {
    wxRegion shape;
    for (const wxRect& run : OpaqueRuns(picture, key)) shape.Union(run);
    return shape;
}

void CSplashScreenEx::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    Render(dc);
}

void CSplashScreenEx::OnPress(wxEvent&) { Hide(); }

void CSplashScreenEx::OnTimer(wxTimerEvent&) { Hide(); }

}  // namespace tessaly
