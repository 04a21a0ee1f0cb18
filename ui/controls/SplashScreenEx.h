// The splash window: a borderless, topmost picture shown while the program
// starts, optionally shaped by a colour key and faded in and out.
//
// Use: new CSplashScreenEx; Create; SetBitmap; Show; later Hide, which
// fades the window out and destroys it, so a splash is always made with
// new and never touched after Hide. Where the window system cannot make
// windows translucent (no compositing manager on X11) the fades become a
// plain show and hide. The shape is the union of the rectangles of runs of
// pixels that differ from the key colour, row by row.
//
// It does not load anything by itself and keeps no process-wide state.
#pragma once

#include <vector>

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/region.h>
#include <wx/timer.h>

class wxImage;

namespace tessaly {

enum SplashStyle : unsigned {
    SPLASH_FADE_IN = 0x01,
    SPLASH_FADE_OUT = 0x02,
    SPLASH_DROP_SHADOW = 0x04,
    SPLASH_CENTER_SCREEN = 0x08,
    SPLASH_CENTER_OWNER = 0x10,
    SPLASH_HIDE_ON_CLICK = 0x20,
};

class CSplashScreenEx : public wxFrame {
public:
    CSplashScreenEx() = default;

    // Makes the (hidden) window. `timeout` ms after Show it hides itself;
    // 0 keeps it until Hide.
    bool Create(wxWindow* owner, const wxString& text = wxString(), unsigned timeout = 2000, unsigned style = 0);

    // Loads the picture; with a colour key (no component -1) the window takes
    // the shape of the picture's other pixels. False when the file cannot be
    // loaded, and then nothing changes.
    bool SetBitmap(const wxString& path, int red = -1, int green = -1, int blue = -1);

    void Show();
    bool Show(bool show) override { return wxFrame::Show(show); }
    void Hide();

    // The text drawn over the picture, centred and word-wrapped.
    void SetText(const wxString& text);
    void SetTextColour(const wxColour& colour);

    const wxBitmap& Picture() const { return m_bitmap; }
    const wxRegion& Shape() const { return m_region; }
    wxPoint SplashPosition() const { return wxPoint(m_nxPos, m_nyPos); }

    // Draws the window's content (picture and text) into `dc`.
    void Render(wxDC& dc) const;

    // The opaque runs of `picture` for colour key `key`, rows from the bottom
    // up, as one-pixel-high rectangles; and their union.
    static std::vector<wxRect> OpaqueRuns(const wxImage& picture, const wxColour& key);
    static wxRegion ShapeOf(const wxImage& picture, const wxColour& key);

    static constexpr int kFadeInMs = 500;
    static constexpr int kFadeOutMs = 200;

private:
    bool CanFade() const;
    void Fade(int fromAlpha, int toAlpha, int durationMs);
    void Centre();
    void OnPaint(wxPaintEvent& event);
    void OnPress(wxEvent& event);
    void OnTimer(wxTimerEvent& event);

    wxWindow* m_pWndOwner = nullptr;
    wxBitmap m_bitmap;
    wxFont m_myFont;
    wxRegion m_region;
    unsigned m_dwStyle = 0;
    unsigned m_dwTimeout = 2000;
    wxString m_strText;
    wxRect m_rcText;
    wxColour m_crTextColor = *wxBLACK;
    int m_nBitmapWidth = 0;
    int m_nBitmapHeight = 0;
    int m_nxPos = 0;
    int m_nyPos = 0;
    wxTimer m_timer;
    bool m_bHiding = false;
};

}  // namespace tessaly
