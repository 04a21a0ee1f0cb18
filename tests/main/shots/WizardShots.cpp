// Takes the README's screenshots of the wizard by running it for real: the
// main dialog with two archives listed, the analysis dialog, the preview with
// its rows, the saving dialog and, at the end of the run, the completion
// dialog. A timer watches the windows the wizard opens and photographs each
// one once; the pickers and the message boxes are answered in code. The analysis is paused while it is
// photographed, so its bar is caught part of the way.
//
// Usage: tessaly-wizard-shots <program folder> <output folder> [password]
// It runs the wizard from the main dialog to the completion dialog with real
// clicks; with "password" it photographs the password dialog instead, a
// password half typed. Run under an X server (scripts/ui-screenshots.sh
// starts one).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#ifdef __WXMSW__
#include <windows.h>
#endif

#include <wx/app.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "app/main/VarrowDlg.h"
#include "app/main/WizardRoot.h"
#include "core/EndProcess.h"
#include "tests/support/Portable.h"
#include "tests/support/Sample.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"
#include "tests/ui/ScreenPixels.h"
#include "ui/shell/Pickers.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/PasswordDialog.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ProgressBar.h"
#include "workflow/dialogs/ViewLog.h"

namespace {

using namespace tessaly;
namespace fs = std::filesystem;

wxString g_outputFolder;
int g_written = 0;

using tessaly::test::ScreenPixels;

bool Grab(wxWindow* window, const char* name) {
    wxRect area = window->GetScreenRect();
#ifdef __WXMSW__
    // Without a window manager wine leaves the title bar undrawn: the shot
    // starts at the menu bar, or at the client area of a dialog.
    const int top = window->ClientToScreen(wxPoint(0, 0)).y;
    const auto* frame = dynamic_cast<wxFrame*>(window);
    const int start = top - (frame && frame->GetMenuBar() ? ::GetSystemMetrics(SM_CYMENU) + 1 : 0);
    area.SetHeight(area.GetBottom() + 1 - start);
    area.SetY(start);
#endif
    area.Intersect(wxRect(0, 0, wxGetDisplaySize().x, wxGetDisplaySize().y));
    // A thin grey frame around the window.
    wxImage shot(area.width + 2, area.height + 2);
    shot.SetRGB(wxRect(0, 0, area.width + 2, area.height + 2), 0x80, 0x8A, 0x90);
    shot.Paste(ScreenPixels(area), 1, 1);
    const wxString path = g_outputFolder + "/" + name + ".png";
    const bool ok = shot.SaveFile(path, wxBITMAP_TYPE_PNG);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", static_cast<const char*>(path.utf8_str()));
    std::fflush(stdout);
    if (ok) ++g_written;
    return ok;
}

void Press(wxWindow* dialog, int id) {
    wxWindow* button = dialog->FindWindow(id);
    if (!button) return;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->AddPendingEvent(event);
}

// A real click, as a person's: the wizard's nested runs then start from the
// window system's event, as they do in use.
void ClickOn(wxWindow* button) {
    wxUIActionSimulator mouse;
    mouse.MouseMove(button->GetScreenRect().GetPosition() + button->GetSize() / 2);
    mouse.MouseClick();
}

template <typename Dialog>
Dialog* Shown() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<Dialog*>(window); dialog && dialog->IsShown()) return dialog;
    return nullptr;
}

class ShotPickers : public IPickers {
public:
    explicit ShotPickers(fs::path destination) : m_destination(std::move(destination)) {}
    std::vector<std::string> PickZipFiles(wxWindow*) override { return {}; }
    std::string PickFolder(wxWindow*, const std::string&) override { return m_destination.string(); }
    std::string PickSaveFile(wxWindow*, const std::string&, const std::string&) override { return {}; }

private:
    fs::path m_destination;
};

// Watches the screen and moves the wizard on, one step per window.
class Director : public wxTimer {
public:
    explicit Director(CVarrowDlg& main) : m_main(main) {}

    void Notify() override {
        if (++m_ticks % 5 == 0) ++m_settle;
        switch (m_step) {
            case 0: return MainDialog();
            case 1: return Analysis();
            case 2: return Preview();
            case 3: return Saving();
            case 4: return Completion();
            default: return;
        }
    }

private:
    void Next() {
        ++m_step;
        m_settle = 0;
    }
    void MainDialog() {
        if (m_settle < 4) return;
        Grab(&m_main, "wizard-main");
        Next();
        ClickOn(m_main.FindWindow(IDC_REPAIR));
    }
    // The progress dialogs: pause, let the screen settle, photograph, resume.
    void Paused(wxWindow* dialog, int pauseId, const char* name) {
        if (!m_paused) {
            Press(dialog, pauseId);
            m_paused = true;
            m_settle = 0;
            return;
        }
        if (m_settle < 4) return;
        Grab(dialog, name);
        Press(dialog, pauseId);
        m_paused = false;
        Next();
    }
    void Analysis() {
        if (auto* dialog = Shown<CProgressBar>()) return Paused(dialog, IDC_ANALYSIS_PAUSE, "wizard-analysis");
        if (Shown<CPreview>() && Shown<CPreview>()->IsIdle()) Next();  // over before it could be caught
    }
    void Preview() {
        CPreview* preview = Shown<CPreview>();
        if (!preview || !preview->IsIdle() || Shown<CProgressBar>()) return;
        if (m_settle < 4) return;
        Grab(preview, "wizard-preview");
        Next();
        ClickOn(preview->FindWindow(IDC_PREVIEW_SAVE_ALL));
    }
    void Saving() {
        // Caught on the move: pausing here would only slow the shot down.
        if (auto* dialog = Shown<CFileSave>()) {
            if (m_settle < 3) return;
            Grab(dialog, "wizard-saving");
            Next();
        }
    }
    // The end of the run: the completion dialog as a person sees it. The
    // saving may outlast the settling time, so it counts from the moment the
    // dialog is up: a window photographed the instant it appears may not
    // have been drawn yet.
    void Completion() {
        CViewLog* dialog = Shown<CViewLog>();
        if (!dialog) {
            m_settle = 0;
            return;
        }
        if (m_settle < 4) return;
        Grab(dialog, "wizard-completion");
        std::fflush(stdout);
        std::_Exit(g_written == 5 ? 0 : 1);
    }
    CVarrowDlg& m_main;
    int m_step = 0;
    int m_ticks = 0;
    int m_settle = 0;
    bool m_paused = false;
};

// The password dialog as saving shows it, some characters typed.
class PasswordDirector : public wxTimer {
public:
    explicit PasswordDirector(CPasswordDialog& dialog) : m_dialog(dialog) {}
    void Notify() override {
        if (++m_ticks == 10) {
            wxUIActionSimulator input;
            input.MouseMove(m_dialog.PasswordField()->GetScreenRect().GetPosition() + wxPoint(6, 6));
            input.MouseClick();
            input.Text("backup26");
        }
        if (m_ticks < 40) return;
        Grab(&m_dialog, "wizard-password");
        std::fflush(stdout);
        std::_Exit(g_written == 1 ? 0 : 1);
    }

private:
    CPasswordDialog& m_dialog;
    int m_ticks = 0;
};

// Many small entries, so the analysis and the saving last long enough to be
// seen.
void WriteLargeArchive(const fs::path& path) {
    std::vector<testzip::EntryToWrite> entries;
    for (int i = 0; i < 30000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "reports/%02d/report-%05d.txt", i / 1000, i);
        entries.push_back(testzip::Deflated(name, testzip::TextContent(name, 1500 + i % 700)));
    }
    testzip::WriteFileBytes(path, testzip::BuildZip(entries).bytes);
}

class ShotsApp : public wxApp {
public:
    bool OnInit() override {
        if (argc != 3 && !(argc == 4 && argv[3] == "password")) {
            std::fputs("usage: tessaly-wizard-shots <program folder> <output folder> [password]\n", stderr);
            return false;
        }
        m_passwordOnly = argc == 4;
        m_programFolder = argv[1].utf8_string();
        g_outputFolder = argv[2];
        wxInitAllImageHandlers();
        return true;
    }
    int OnRun() override {
        testzip::TempFolder scratch("tessaly-shots");
        const std::string logFolder = testzip::PathText(scratch.Path());
#ifdef _WIN32
        // Windows reads the settings from the registry alone.
        testzip::ScopedClassesSetting filePath("TLZIP", "FilePath", m_programFolder);
        testzip::ScopedClassesSetting logPath("TLZIP", "LogPath", logFolder);
#else
        testzip::SetEnvironment("TESSALY_SETTINGS", testzip::PathText(scratch / "settings.ini"));
        std::ofstream(scratch / "settings.ini") << "FilePath=" << m_programFolder << "\nLogPath=" << logFolder << "\n";
#endif
        return m_passwordOnly ? ShowPassword() : RunWizard(scratch);
    }

private:
    int RunWizard(const testzip::TempFolder& scratch) {
        const fs::path large = scratch / "Quarterly reports.zip";
        const fs::path damaged = scratch / "damaged.zip";
        WriteLargeArchive(large);
        testzip::WriteFileBytes(damaged, testzip::SampleArchive());
        fs::create_directories(scratch / "Recovered");
        ShotPickers pickers(scratch / "Recovered");
        const CWizardRoot wizard([] { EndProcess(); });
        CVarrowDlg::Options options;
        options.programFolder = m_programFolder;
        options.splashMs = 0;
        options.wizard = wizard.Services();
        options.wizard.pickers = &pickers;
        options.wizard.showMessage = [](wxWindow*, const Message& message) {
            return message.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        auto* main = new CVarrowDlg(options);
        main->Move(40, 40);
        main->AddArchives({large.string(), damaged.string()});
        Director director(*main);
        director.Start(20);
        main->ShowModal();
        std::fputs("the wizard ended before every shot was taken\n", stderr);
        return 1;
    }

    int ShowPassword() {
        CPasswordDialog dialog(nullptr, "Family photos 2026.zip");
        dialog.Move(40, 40);
        PasswordDirector director(dialog);
        director.Start(20);
        dialog.ShowModal();
        std::fputs("the password dialog closed before its shot was taken\n", stderr);
        return 1;
    }

    std::string m_programFolder;
    bool m_passwordOnly = false;
};

}  // namespace

wxIMPLEMENT_APP(ShotsApp);
