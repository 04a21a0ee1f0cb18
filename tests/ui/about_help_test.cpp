#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/uiaction.h>

#include "UiTestSupport.h"
#include "ui/about/AboutDlg.h"
#include "ui/about/HelpContents.h"
#include "ui/about/MakerContacts.h"
#include "ui/controls/URLLinkButton.h"

namespace tessaly {
namespace {

class AboutTest : public ::testing::Test {
protected:
    // The links of `dialog` are recorded in `opened` rather than opened.
    void Watch(CAboutDlg& dialog) {
        dialog.SetLinkOpener([this](const wxString& url) { opened.push_back(url); });
    }

    static void Click(wxWindow* window) {
        for (const wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
            wxMouseEvent mouse(type);
            mouse.SetPosition(wxPoint(2, 2));
            mouse.SetEventObject(window);
            window->GetEventHandler()->ProcessEvent(mouse);
        }
    }

    std::vector<wxString> opened;
};

// Addresses for the tests of the links themselves; the program's own box
// has none (see TheProgramsBoxShowsNoLinkToAPlaceholder).
const MakerContacts kTestContacts{"www.example.org/tessaly", "www.example.org/tessaly/issues", "sales@example.org",
                                  "support@example.org"};

TEST_F(AboutTest, ShowsTheTemplateWithFourLinks) {
    CAboutDlg dialog(nullptr, TESSALY_DATA_DIR, kTestContacts);
    Watch(dialog);
    EXPECT_EQ(dialog.GetTitle(), "About Tessaly for Zip");
    EXPECT_TRUE(dialog.HasBackground());
    EXPECT_EQ(dialog.GetClientSize(), dialog.ConvertDialogToPixels(wxSize(267, 190)));
    const struct {
        int id;
        const char* text;
    } links[] = {{IDC_WEBSITE, kTestContacts.webSite.c_str()},
                 {IDC_WEBSITE2, kTestContacts.secondWebSite.c_str()},
                 {IDC_SALES, kTestContacts.salesMail.c_str()},
                 {IDC_SUPPORT, kTestContacts.supportMail.c_str()}};
    for (const auto& link : links) {
        const CURLLinkButton* button = dialog.Link(link.id);
        ASSERT_NE(button, nullptr) << link.id;
        EXPECT_EQ(button->GetLabel(), link.text);
        EXPECT_EQ(dialog.FindWindow(link.id), button);
    }
    for (const char* label : {"Version 2.0", "Websites :", "Sales       :", "Support   :"})
        EXPECT_NE(dialog.FindWindowByLabel(label), nullptr) << label;
    EXPECT_NE(wxDynamicCast(dialog.FindWindow(IDC_ABOUT_OK), wxButton), nullptr);
}

TEST_F(AboutTest, ClickingALinkOpensItAndMarksOnlyThatLinkVisited) {
    CAboutDlg dialog(nullptr, TESSALY_DATA_DIR, kTestContacts);
    Watch(dialog);
    Click(dialog.Link(IDC_SALES));
    Click(dialog.Link(IDC_WEBSITE));
    const std::vector<wxString> expected = {"mailto:" + kTestContacts.salesMail, "https://" + kTestContacts.webSite};
    EXPECT_EQ(opened, expected);
    EXPECT_TRUE(dialog.Link(IDC_SALES)->IsVisited());
    EXPECT_TRUE(dialog.Link(IDC_WEBSITE)->IsVisited());
    EXPECT_FALSE(dialog.Link(IDC_WEBSITE2)->IsVisited());
    EXPECT_FALSE(dialog.Link(IDC_SUPPORT)->IsVisited());
}

// The project has no public address: the box the program shows leads
// nowhere rather than to a made-up one, and shows no empty link rows.
TEST_F(AboutTest, TheProgramsBoxShowsNoLinkToAPlaceholder) {
    CAboutDlg dialog(nullptr, TESSALY_DATA_DIR);
    Watch(dialog);
    for (int id : {IDC_WEBSITE, IDC_WEBSITE2, IDC_SALES, IDC_SUPPORT}) {
        EXPECT_EQ(dialog.Link(id), nullptr) << id;
        EXPECT_EQ(dialog.FindWindow(id), nullptr) << id;
    }
    for (const char* label : {"Websites :", "Sales       :", "Support   :"})
        EXPECT_EQ(dialog.FindWindowByLabel(label), nullptr) << label;
    EXPECT_NE(dialog.FindWindowByLabel("Version 2.0"), nullptr);
    // Only the rows that have an address are shown.
    CAboutDlg support(nullptr, TESSALY_DATA_DIR, MakerContacts{"", "", "", "help@example.org"});
    Watch(support);
    EXPECT_NE(support.Link(IDC_SUPPORT), nullptr);
    EXPECT_NE(support.FindWindowByLabel("Support   :"), nullptr);
    EXPECT_EQ(support.FindWindowByLabel("Websites :"), nullptr);
    EXPECT_EQ(support.Link(IDC_WEBSITE), nullptr);
}

TEST_F(AboutTest, OkEscapeAndCloseEndWithTheCancelResult) {
    test::AllowModal allow;
    const struct {
        const char* how;
        std::function<void(CAboutDlg&)> leave;
    } ways[] = {
        {"OK",
         [](CAboutDlg& d) {
             wxCommandEvent press(wxEVT_BUTTON, IDC_ABOUT_OK);
             d.FindWindow(IDC_ABOUT_OK)->GetEventHandler()->ProcessEvent(press);
         }},
        {"Escape", [](CAboutDlg&) { wxUIActionSimulator().Char(WXK_ESCAPE); }},
        {"close box", [](CAboutDlg& d) { d.Close(); }},
    };
    for (const auto& way : ways) {
        CAboutDlg dialog(nullptr, TESSALY_DATA_DIR);
        Watch(dialog);
        dialog.Bind(wxEVT_SHOW, [&](wxShowEvent& e) {
            e.Skip();
            if (e.IsShown()) dialog.CallAfter([&] { way.leave(dialog); });
        });
        EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL) << way.how;
    }
}

TEST_F(AboutTest, LinksIgnoreTheKeyboard) {
    CAboutDlg dialog(nullptr, TESSALY_DATA_DIR, kTestContacts);
    Watch(dialog);
    CURLLinkButton* link = dialog.Link(IDC_SUPPORT);
    for (const wxEventType type : {wxEVT_KEY_DOWN, wxEVT_KEY_UP}) {
        wxKeyEvent key(type);
        key.m_keyCode = WXK_RETURN;
        link->GetEventHandler()->ProcessEvent(key);
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(link->IsVisited());
}

TEST_F(AboutTest, EnterOnAFocusedLinkNeitherOpensItNorPressesOk) {
    test::AllowModal allow;
    CAboutDlg dialog(nullptr, TESSALY_DATA_DIR, kTestContacts);
    Watch(dialog);
    bool shownAfterEnter = false;
    dialog.Bind(wxEVT_SHOW, [&](wxShowEvent& e) {
        e.Skip();
        if (!e.IsShown()) return;
        dialog.CallAfter([&] {
            dialog.Link(IDC_WEBSITE2)->SetFocus();
            test::PumpFor(50);
            wxUIActionSimulator sim;
            sim.Char(WXK_RETURN);
            sim.Char(WXK_SPACE);
            test::PumpFor(100);
            shownAfterEnter = dialog.IsShown();
            dialog.EndModal(wxID_OK);
        });
    });
    dialog.ShowModal();
    EXPECT_TRUE(shownAfterEnter);
    EXPECT_TRUE(opened.empty());
}

TEST(HelpContents, OpensOneViewerTitledForTheProduct) {
    ASSERT_EQ(FindHelpViewer(), nullptr);
    ShowHelpContents(TESSALY_DATA_DIR);
    ASSERT_TRUE(test::PumpUntil([] { return FindHelpViewer() != nullptr; }));
    wxWindow* viewer = FindHelpViewer();
    EXPECT_EQ(viewer->GetLabel(), kHelpTitle);
    EXPECT_TRUE(viewer->IsShown());

    ShowHelpContents(TESSALY_DATA_DIR);  // F1 again
    test::PumpFor(100);
    int viewers = 0;
    for (const wxWindow* window : wxTopLevelWindows)
        viewers += window->GetLabel() == kHelpTitle && !window->IsBeingDeleted();
    EXPECT_EQ(viewers, 1);
    viewer->Close();
    EXPECT_TRUE(test::PumpUntil([] { return FindHelpViewer() == nullptr; }));
}

TEST(HelpContents, MissingHelpBookOpensNothingSilently) {
    test::ScratchFolder empty;
    ShowHelpContents(empty.Path());
    test::PumpFor(50);
    EXPECT_EQ(FindHelpViewer(), nullptr);
}

}  // namespace
}  // namespace tessaly
