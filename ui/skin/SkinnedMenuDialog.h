// A skinned top-level window that carries a menu bar and runs modally: the
// base of the main dialog and the preview. The toolkit's dialogs cannot hold
// a menu bar on GTK, so this is a frame that behaves like a modal dialog:
// ShowModal disables every other window of the program and runs its own
// event loop until EndModal.
//
// It wears a CDialogSkin exactly as CSkinnedDialog does (client area in
// dialog units, LoadBackground, controls placed with DialogRect) and moves
// the keyboard focus between its controls with Tab like a dialog.
//
// Leaving is the deriving window's business: Escape calls OnEscape (nothing
// by default), F1 calls OnHelpKey (nothing by default), and the close box
// calls OnCloseBox (ends the modal run with wxID_CANCEL by default); other
// keys go to OnKey first. The
// window is never destroyed by its close box, so it can live on the stack.
#pragma once

#include <filesystem>

#include <wx/containr.h>
#include <wx/frame.h>

#include "ui/skin/DialogSkin.h"

class wxGUIEventLoop;

namespace tessaly {

class CSkinnedMenuDialog : public wxNavigationEnabled<wxFrame> {
public:
    CSkinnedMenuDialog();
    ~CSkinnedMenuDialog() override;

    // Creates the window with a client area of `width` x `height` dialog
    // units; the client area keeps that size when a menu bar is set.
    bool Create(wxWindow* parent, wxWindowID id, const wxString& caption, int width, int height,
                long style = wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX);

    bool LoadBackground(const std::filesystem::path& programFolder, const wxString& fileName) {
        return m_skin.LoadBackground(programFolder, fileName);
    }
    bool HasBackground() const { return m_skin.HasBackground(); }
    const CDialogSkin& Skin() const { return m_skin; }

    void SetMenuBar(wxMenuBar* menuBar) override;

    // Shows the window, disables the program's other windows and runs until
    // EndModal; hides the window again and returns EndModal's code.
    int ShowModal();
    // Ends the modal run with `code` (the run returns once the handler that
    // called this has returned); a later call in the same run changes
    // nothing. Outside a modal run it only hides the window.
    void EndModal(int code);
    bool IsModal() const { return m_loop != nullptr; }
    int GetReturnCode() const { return m_returnCode; }

protected:
#ifdef __WXMSW__
    // The picture shows behind the native controls' text.
    WXHBRUSH MSWGetCustomBgBrush() override { return m_skin.ControlsBrush(); }
#endif
    virtual void OnEscape() {}
    virtual void OnHelpKey() {}
    virtual void OnCloseBox() { EndModal(wxID_CANCEL); }
    // Any other key before the controls see it; true when handled.
    virtual bool OnKey(wxKeyEvent& /*event*/) { return false; }

private:
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);

    CDialogSkin m_skin;
    wxSize m_clientSize;
    wxGUIEventLoop* m_loop = nullptr;
    int m_returnCode = 0;
    bool m_ending = false;
};

}  // namespace tessaly
