// The end of a run as a person meets it: Repair and Save All pressed with
// real clicks,
// the completion dialog drawn on the screen (its pixels are read back from
// the X server, not from the toolkit), and the mouse or Enter on OK ending
// the process.
#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/image.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/main/VarrowDlg.h"
#include "tests/support/ZipWriter.h"
#include "tests/ui/ScreenPixels.h"
#include "tests/wizard/WizardHarness.h"
#include "workflow/SavingSummary.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::testwizard {
namespace {

namespace fs = std::filesystem;
using testzip::Deflated;

using tessaly::test::ScreenPixels;

// Mean difference per colour channel between `a` and `b` (same size).
double MeanDifference(const wxImage& a, const wxImage& b) {
    const unsigned char* p = a.GetData();
    const unsigned char* q = b.GetData();
    const long count = static_cast<long>(a.GetWidth()) * a.GetHeight() * 3;
    double sum = 0;
    for (long i = 0; i < count; ++i) sum += std::abs(static_cast<int>(p[i]) - static_cast<int>(q[i]));
    return count ? sum / count : 255;
}

// The band at the top of the completion dialog's picture, above its text
// and controls: what the screen shows there against what the picture holds.
double PictureBandDifference(const CViewLog& dialog) {
    const wxBitmap& picture = dialog.Skin().Background();
    const wxSize client = dialog.GetClientSize();
    const wxSize band(std::min(client.x, picture.GetWidth()), std::min(client.y, picture.GetHeight()) / 4);
    if (band.x <= 0 || band.y <= 0) return 255;
    const wxImage expected = picture.ConvertToImage().GetSubImage(wxRect(band));
    const wxImage shown = ScreenPixels(wxRect(dialog.ClientToScreen(wxPoint(0, 0)), band));
    return MeanDifference(expected, shown);
}

// Close to the picture: what a drawn window shows. An undrawn one shows
// black or the windows that were behind it.
constexpr double kDrawn = 12;

void ClickOn(wxWindow* control) {
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->IsEnabled());
    wxUIActionSimulator mouse;
    mouse.MouseMove(control->GetScreenRect().GetPosition() + control->GetSize() / 2);
    mouse.MouseClick();
}

class CompletionTest : public WizardTest {
protected:
    CompletionTest() {
        // The dialogs' pictures, so the screen can be checked against one.
        for (const char* picture : {"preview.bmp", "file-saving.bmp", "view-log.bmp"})
            fs::copy_file(fs::path(TESSALY_DATA_DIR) / picture, m_sandbox.Program() / picture,
                          fs::copy_options::overwrite_existing);
        std::vector<testzip::EntryToWrite> entries;
        for (int i = 0; i < 400; ++i) {
            const std::string name = "part/" + std::to_string(i) + ".txt";
            entries.push_back(Deflated(name, testzip::TextContent(name, 1500)));
        }
        m_picker.zipFiles = {WriteArchive("parts.zip", entries)};
    }

    // Save All clicked, then the completion dialog drawn; `leave` ends it.
    void SaveAllAndLeave(std::function<void(CViewLog*)> leave) {
        m_script
            .When(
                "main dialog up", [] { return Shown<CVarrowDlg>() != nullptr; },
                [] {
                    Press(Shown<CVarrowDlg>(), IDC_BROWSE);
                    ClickOn(Shown<CVarrowDlg>()->FindWindow(IDC_REPAIR));
                })
            .When("archive analysed", Analysed(1), [] { ClickOn(Shown<CPreview>()->FindWindow(IDC_PREVIEW_SAVE_ALL)); })
            .When(
                "completion dialog drawn",
                [this] {
                    CViewLog* dialog = Shown<CViewLog>();
                    if (!dialog || Shown<CFileSave>()) return false;
                    m_lastDifference = PictureBandDifference(*dialog);
                    return m_lastDifference < kDrawn;
                },
                [leave] { leave(Shown<CViewLog>()); })
            .When("process ended", ProcessEnded(), [] { EndPreview(); })
            .When(
                "main dialog back", [] { return Shown<CVarrowDlg>() && !Shown<CPreview>(); },
                [] { Shown<CVarrowDlg>()->EndModal(wxID_CANCEL); });
        m_script.Run(
            [this] {
                CVarrowDlg::Options options;
                options.programFolder = m_sandbox.Program();
                options.splashMs = 0;
                options.wizard = m_services;
                CVarrowDlg main(options);
                main.ShowModal();
            },
            20000);
    }

    double m_lastDifference = 255;
};

TEST_F(CompletionTest, SaveAllShowsTheDrawnCompletionDialogAndItsOkButtonEndsTheProcess) {
    SaveAllAndLeave([](CViewLog* dialog) {
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->HasBackground());
        EXPECT_FALSE(dialog->ViewLogCheck()->IsChecked());
        ClickOn(dialog->FindWindow(IDC_VIEW_LOG_OK));
    });
    EXPECT_LT(m_lastDifference, kDrawn) << "the completion dialog was not drawn";
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_EQ(CountInLog("Repairing Completed successfully"), 1);
    EXPECT_EQ(Shown<CViewLog>(), nullptr);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(CompletionTest, EnterOnTheDrawnCompletionDialogEndsTheProcess) {
    SaveAllAndLeave([](CViewLog* dialog) {
        ASSERT_NE(dialog, nullptr);
        // The screen has no window manager: keys go to the window under the
        // pointer, so the pointer rests on the picture first.
        wxUIActionSimulator keys;
        keys.MouseMove(dialog->ClientToScreen(wxPoint(dialog->GetClientSize().x / 2, 4)));
        keys.Char(WXK_RETURN);
    });
    EXPECT_EQ(m_endCalls, 1);
    EXPECT_TRUE(Messages().empty());
}

// The outcome's text in every shape it takes: it stays inside the dialog,
// wrapped to its frame, and keeps clear of the View Log check box and its
// label, which stay inside the dialog with OK.
class CompletionLayoutTest : public WizardTest {};

SavingSummary Outcome(int notWritten, int wrongPassword, int unreadable, const std::string& destination) {
    SavingSummary summary;
    summary.archives.push_back({"a.zip"});
    summary.archives[0].notWritten = notWritten;
    summary.archives[0].wrongPassword = wrongPassword;
    for (int i = 0; i < unreadable; ++i) {
        summary.archives.push_back({"b.zip"});
        summary.archives.back().unreadable = true;
    }
    summary.destinationProblem = destination;
    return summary;
}

TEST_F(CompletionLayoutTest, TheOutcomeFitsItsBoxAndLeavesTheCheckBoxClearInEveryOutcome) {
    const SavingSummary outcomes[] = {
        Outcome(0, 0, 0, ""), Outcome(2, 0, 0, ""),  Outcome(0, 3, 0, ""),
        Outcome(0, 0, 1, ""), Outcome(12, 3, 2, ""), Outcome(1234, 567, 89, "No space left on device"),
    };
    for (const SavingSummary& summary : outcomes) {
        CViewLog dialog(summary, m_services);
        const std::string text = CompletionText(summary);
        const wxStaticText* message = dialog.MessageText();
        ASSERT_NE(message, nullptr);
        const wxRect client(dialog.GetClientSize());
        const wxRect box = message->GetRect();
        const wxRect check = dialog.ViewLogCheck()->GetRect();
        const wxWindow* label = dialog.FindWindowByLabel("View Log File");
        ASSERT_NE(label, nullptr);
        const wxRect ok = dialog.FindWindow(IDC_VIEW_LOG_OK)->GetRect();
        // What the text needs as it is wrapped in its box.
        const wxSize needed = message->GetBestSize();
        EXPECT_LE(needed.GetWidth(), box.width) << text;
        EXPECT_LE(needed.GetHeight(), box.height) << text;
        EXPECT_TRUE(client.Contains(box)) << text;
        for (const wxRect& below : {check, label->GetRect(), ok}) {
            EXPECT_TRUE(client.Contains(below)) << text;
            EXPECT_GE(below.GetTop(), box.GetBottom() + 1 + dialog.FromDIP(4)) << text;
        }
        // Wrapping breaks lines at blanks; nothing of the text is lost.
        wxString shown = message->GetLabel();
        shown.Replace("\n", " ");
        EXPECT_EQ(shown, wxString::FromUTF8(text));
    }
}

}  // namespace
}  // namespace tessaly::testwizard
