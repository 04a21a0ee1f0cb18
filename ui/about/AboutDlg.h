// The About box: the program's name, version and the project's two web
// pages and two e-mail addresses as links, over the picture "about.bmp";
// links without an address are left out (see MakerContacts.h).
//
// A link opens the web site in the browser, or a new message in the mail
// program, through the link opener (replaceable for tests), and then shows
// in the visited colour. OK, Escape and the close box end the dialog with
// wxID_CANCEL. The dialog does not read settings: the caller gives it the
// program folder.
#pragma once

#include <filesystem>
#include <functional>
#include <utility>

#include "ui/about/MakerContacts.h"
#include "ui/skin/SkinnedDialog.h"

namespace tessaly {

class CURLLinkButton;

// Control ids of the About box.
enum AboutId {
    IDC_WEBSITE = 1026,
    IDC_WEBSITE2 = 1027,
    IDC_SALES = 1028,
    IDC_SUPPORT = 1029,
    IDC_ABOUT_OK = 1031,
};

// Opens a URL ("https://..." or "mailto:..."); the result is not examined.
using LinkOpener = std::function<void(const wxString& url)>;

class CAboutDlg : public CSkinnedDialog {
public:
    CAboutDlg(wxWindow* parent, const std::filesystem::path& programFolder,
              const MakerContacts& contacts = ProjectContacts());

    // The link of that id, or null when its address is empty.
    CURLLinkButton* Link(int id) const;
    // How this box opens its links; empty (the default): the desktop's
    // browser and mail program.
    void SetLinkOpener(LinkOpener opener) { m_opener = std::move(opener); }

private:
    void CreateControls(const MakerContacts& contacts);
    void OnLink(wxCommandEvent& event);
    void OnOk(wxCommandEvent& event);

    LinkOpener m_opener;

    CURLLinkButton* m_links[4] = {};
    std::string m_addresses[4];
};

// Shows the About box modally over `parent`.
void ShowAboutBox(wxWindow* parent, const std::filesystem::path& programFolder);

}  // namespace tessaly
