// The background picture of a top-level window, as every dialog of the
// program shows it.
//
// A CDialogSkin is attached to one window (a dialog, or a frame for windows
// that need a menu bar). It loads one picture, program folder + "/" + file
// name with the name used exactly as given, and paints it at the client
// origin. The pictures are drawn for the dialogs' sizes in dialog units as
// GTK lays them out; where the window system's dialog units come out in
// other pixel sizes (Windows' dialog font), the picture is fitted to the
// client area, so that its header band still ends above the first control
// and nothing of it is cut off. Without a window to fit, the part of the
// client area the picture does not cover keeps the window's normal colour. Labels, check boxes, radio buttons and
// group boxes are native controls without a background of their own on GTK,
// so the picture shows behind their text; the custom controls of
// ui/controls find the skin of the window they sit on (Of) and draw the
// picture behind them themselves. A missing or unreadable picture is not an
// error: the window keeps its normal background and works as usual.
//
// It does not lay out controls (see DialogUnits.h) and does not know which
// window uses which picture.
#pragma once

#include <filesystem>

#include <wx/bitmap.h>
#include <wx/window.h>

namespace tessaly {

class CDialogSkin {
public:
    CDialogSkin() = default;
    ~CDialogSkin();
    CDialogSkin(const CDialogSkin&) = delete;
    CDialogSkin& operator=(const CDialogSkin&) = delete;

    // Paints `window`'s background from now on. Call before the window is
    // created (the background style must be set first) or right after.
    void Attach(wxWindow* window);

    // Loads programFolder/fileName; the new picture replaces the old one, or
    // removes it when loading fails. Returns whether a picture is loaded.
    bool LoadBackground(const std::filesystem::path& programFolder, const wxString& fileName);
    bool HasBackground() const { return m_background.IsOk(); }
    // The picture as it is painted: fitted to the window's client area.
    const wxBitmap& Background() const;

    // The window's client area has grown by `pixels` below the layout the
    // picture was drawn for (to make room for a longer text): the picture is
    // fitted to the area above, and its bottom rows are drawn out over the
    // added strip, so its header band keeps its shape.
    void SetGrownBelow(int pixels);

    // Paints `area` (client coordinates) of the background into `dc`, whose
    // origin is the client origin: the picture where it reaches, the window's
    // colour elsewhere.
    void DrawBackground(wxDC& dc, const wxRect& area) const;

    // Paints what lies behind `control` (a window inside the skinned one) into
    // `dc`, whose origin is the control's client origin.
    void DrawBehind(wxDC& dc, const wxWindow* control) const;

    // The skin of the window a control sits on, or null.
    static const CDialogSkin* Of(const wxWindow* control);

#ifdef __WXMSW__
    // The picture as a pattern brush, for the native controls on the window:
    // Windows paints the background of labels, check boxes and radio buttons
    // with their parent's brush, which the toolkit aligns with the parent's
    // client origin, so the picture shows behind their text as on GTK. Null
    // without a picture. Valid until the picture or the window's size changes.
    WXHBRUSH ControlsBrush() const;
#endif

private:
    void OnPaint(wxPaintEvent& event);
    void OnDestroy(wxWindowDestroyEvent& event);
    void Detach();

    wxBitmap Fitted(const wxSize& client) const;

    wxWindow* m_window = nullptr;
    wxBitmap m_background;
    int m_grownBelow = 0;
    // m_background scaled to the client area, made when first painted at
    // that size.
    mutable wxBitmap m_fitted;
#ifdef __WXMSW__
    void ForgetBrush() const;
    mutable WXHBRUSH m_brush = nullptr;
    mutable wxSize m_brushSize;
#endif
};

}  // namespace tessaly
