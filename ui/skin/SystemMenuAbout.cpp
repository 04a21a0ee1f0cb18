#include "ui/skin/SystemMenuAbout.h"

#include <wx/menu.h>
#include <wx/toplevel.h>

namespace tessaly {

void AddSystemMenuAbout(wxTopLevelWindow& window, std::function<void()> showAbout) {
#ifdef __WXMSW__
    wxMenu* systemMenu = window.MSWGetSystemMenu();
    if (!systemMenu || systemMenu->FindItem(kSystemMenuAbout)) return;
    systemMenu->AppendSeparator();
    systemMenu->Append(kSystemMenuAbout, "&About Tessaly For Zip...");
    window.Bind(
        wxEVT_MENU, [showAbout](wxCommandEvent&) { showAbout(); }, kSystemMenuAbout);
#else
    (void)window;
    (void)showAbout;
#endif
}

}  // namespace tessaly
