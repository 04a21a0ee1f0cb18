// The background picture every dialog of the program shows.
//
// A CSkinnedDialog loads one picture (program folder + "/" + file name, the
// name used exactly as given) and paints it unscaled at the client origin;
// the part of the client area the picture does not cover keeps the dialog's
// normal colour. Labels, check boxes, radio buttons and group boxes are
// native controls without a background of their own on GTK, so the picture
// shows behind their text; the custom controls of ui/controls ask the dialog
// for the picture behind them through DrawBackground. A missing or
// unreadable picture is not an error: the dialog keeps its normal background
// and works as usual.
//
// It does not lay out controls (see DialogUnits.h) and does not know which
// dialog uses which picture; each dialog names its own file.
#pragma once

#include <filesystem>

#include <wx/bitmap.h>
#include <wx/dialog.h>

namespace tessaly {

class CSkinnedDialog : public wxDialog {
 public:
  CSkinnedDialog() = default;

  // Creates the window with a client area of `width` x `height` dialog units.
  bool Create(wxWindow* parent, wxWindowID id, const wxString& caption, int width, int height,
              long style = wxDEFAULT_DIALOG_STYLE);

  // Loads programFolder/fileName; the new picture replaces the old one, or
  // removes it when loading fails. Returns whether a picture is loaded.
  bool LoadBackground(const std::filesystem::path& programFolder, const wxString& fileName);
  bool HasBackground() const { return m_background.IsOk(); }
  const wxBitmap& Background() const { return m_background; }

  // Paints `area` (client coordinates) of the background into `dc`, whose
  // origin is the client origin: the picture where it reaches, the dialog's
  // colour elsewhere.
  void DrawBackground(wxDC& dc, const wxRect& area) const;

  // The skinned dialog a control sits on, or null.
  static const CSkinnedDialog* Of(const wxWindow* control);

 private:
  void OnPaint(wxPaintEvent& event);

  wxBitmap m_background;
};

}  // namespace tessaly
