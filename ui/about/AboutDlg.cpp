#include "ui/about/AboutDlg.h"

#include <wx/button.h>
#include <wx/log.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "core/Version.h"
#include "ui/about/MakerContacts.h"
#include "ui/controls/URLLinkButton.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"

namespace tessaly {
namespace {

// The result is not examined and a failure shows no message.
void OpenWithDesktop(const wxString& url) {
    wxLogNull quiet;
    wxLaunchDefaultBrowser(url);
}

struct LinkPlace {
    int id;
    std::string MakerContacts::*address;
    bool mail;
    int row;                  // index into kRows
    int x, y, width, height;  // dialog units
};

constexpr LinkPlace kLinks[] = {
    {IDC_WEBSITE, &MakerContacts::webSite, false, 0, 90, 70, 72, 12},
    {IDC_WEBSITE2, &MakerContacts::secondWebSite, false, 0, 90, 83, 115, 12},
    {IDC_SALES, &MakerContacts::salesMail, true, 1, 90, 101, 85, 11},
    {IDC_SUPPORT, &MakerContacts::supportMail, true, 2, 90, 117, 91, 11},
};

struct RowLabel {
    const char* text;
    int x, y, w, h;
};

constexpr RowLabel kRows[] = {
    {"Websites :", 51, 74, 34, 8}, {"Sales       :", 51, 100, 35, 8}, {"Support   :", 51, 118, 36, 8}};

}  // namespace

CAboutDlg::CAboutDlg(wxWindow* parent, const std::filesystem::path& programFolder, const MakerContacts& contacts) {
    Create(parent, wxID_ANY, "About Tessaly for Zip", 267, 190, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    LoadBackground(programFolder, "about.bmp");
    SetIcons(AppIcons());
    CreateControls(contacts);
    Bind(wxEVT_BUTTON, &CAboutDlg::OnLink, this, IDC_WEBSITE, IDC_SUPPORT);
    Bind(wxEVT_BUTTON, &CAboutDlg::OnOk, this, IDC_ABOUT_OK);
    // Escape presses OK, which ends the dialog with the cancel result.
    SetEscapeId(IDC_ABOUT_OK);
    CentreOnParent();
}

void CAboutDlg::CreateControls(const MakerContacts& contacts) {
    auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
    const wxRect group = place(11, 3, 237, 134);
    new wxStaticBox(this, wxID_ANY, wxString(), group.GetPosition(), group.GetSize());
    const wxRect version = place(114, 44, 45, 12);
    new wxStaticText(this, wxID_ANY, kVersionCaption, version.GetPosition(), version.GetSize());
    bool rowShown[std::size(kRows)] = {};
    for (size_t i = 0; i < std::size(kLinks); ++i) {
        const LinkPlace& input = kLinks[i];
        m_addresses[i] = contacts.*input.address;
        if (m_addresses[i].empty()) continue;
        const wxRect r = place(input.x, input.y, input.width, input.height);
        m_links[i] =
            new CURLLinkButton(this, input.id, wxString::FromUTF8(m_addresses[i]), r.GetPosition(), r.GetSize());
        rowShown[input.row] = true;
    }
    for (size_t row = 0; row < std::size(kRows); ++row) {
        if (!rowShown[row]) continue;
        const RowLabel& label = kRows[row];
        const wxRect r = place(label.x, label.y, label.w, label.h);
        new wxStaticText(this, wxID_ANY, label.text, r.GetPosition(), r.GetSize());
    }
    const wxRect icon = place(18, 98, 20, 20);
    new wxStaticBitmap(this, wxID_ANY, AppIconBitmap(32), icon.GetPosition(), wxSize(32, 32));
    const wxRect ok = place(95, 170, 51, 14);
    auto* button = new wxButton(this, IDC_ABOUT_OK, "OK", ok.GetPosition(), ok.GetSize());
    button->SetDefault();
    button->SetFocus();
}

CURLLinkButton* CAboutDlg::Link(int id) const {
    for (size_t i = 0; i < std::size(kLinks); ++i)
        if (kLinks[i].id == id) return m_links[i];
    return nullptr;
}

void CAboutDlg::OnLink(wxCommandEvent& event) {
    for (size_t i = 0; i < std::size(kLinks); ++i) {
        if (kLinks[i].id != event.GetId()) continue;
        // A bare host name is not a URL to the desktop's opener; the scheme
        // makes it one.
        if (m_links[i] == nullptr) continue;
        const wxString address = wxString::FromUTF8(m_addresses[i]);
        const wxString url = kLinks[i].mail ? "mailto:" + address : "https://" + address;
        if (m_opener)
            m_opener(url);
        else
            OpenWithDesktop(url);
        m_links[i]->SetVisited();
    }
}

void CAboutDlg::OnOk(wxCommandEvent&) { EndModal(wxID_CANCEL); }

void ShowAboutBox(wxWindow* parent, const std::filesystem::path& programFolder) {
    CAboutDlg dialog(parent, programFolder);
    dialog.ShowModal();
}

}  // namespace tessaly
