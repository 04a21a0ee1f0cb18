// Takes the screenshots of the desktop program's look for the README: the
// About box, the splash window, the help viewer and the percentage bar on
// the analysis picture. Run under an X server (scripts/ui-screenshots.sh
// starts one); writes PNG files into the folder given on the command line.
//
// Usage: tessaly-ui-shots <program folder> <output folder> <shot>
// where <shot> is about, splash, progress or help: one shot per run, so
// that every shot starts from an empty screen.
#include <chrono>
#include <cstdio>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/html/helpwnd.h>
#include <wx/image.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "ui/about/AboutDlg.h"
#include "ui/about/HelpContents.h"
#include "ui/controls/SplashScreenEx.h"
#include "ui/controls/TextProgressCtrl.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"

namespace {

using namespace tessaly;

wxString g_programFolder;
wxString g_outputFolder;

void Pump(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        while (loop->Pending()) loop->Dispatch();
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        wxMilliSleep(5);
    }
}

// Copies `area` of the screen into `name`.png, framed by a thin grey line.
bool Grab(const wxRect& area, const char* name) {
    wxBitmap shot(area.GetSize() + wxSize(2, 2), 24);
    {
        wxMemoryDC dc(shot);
        dc.SetBackground(wxBrush(wxColour(0x80, 0x8A, 0x90)));
        dc.Clear();
        wxScreenDC screen;
        dc.Blit(1, 1, area.width, area.height, &screen, area.x, area.y);
    }
    const wxString path = g_outputFolder + "/" + name + ".png";
    const bool ok = shot.ConvertToImage().SaveFile(path, wxBITMAP_TYPE_PNG);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", static_cast<const char*>(path.utf8_str()));
    return ok;
}

bool ShootAbout() {
    auto* dialog = new CAboutDlg(nullptr, g_programFolder.ToStdString());
    dialog->Move(60, 60);
    dialog->Show();
    Pump(400);
    const bool ok = Grab(dialog->GetScreenRect(), "about");
    dialog->Destroy();
    return ok;
}

bool ShootSplash() {
    // A plain backdrop shows the window's shape against it.
    auto* desk = new wxFrame(nullptr, wxID_ANY, "desk", wxPoint(0, 0), wxSize(1280, 1024), wxBORDER_NONE);
    desk->SetBackgroundColour(wxColour(0x3A, 0x44, 0x4A));
    desk->Show();
    auto* splash = new CSplashScreenEx;
    splash->Create(nullptr, wxString(), 0, SPLASH_CENTER_SCREEN | SPLASH_FADE_IN | SPLASH_FADE_OUT);
    splash->SetBitmap(g_programFolder + "/Flash.bmp", 255, 0, 240);
    splash->Show();
    Pump(400);
    const bool ok = Grab(splash->GetScreenRect().Inflate(16, 16), "splash");
    splash->Hide();
    desk->Destroy();
    return ok;
}

bool ShootHelp() {
    ShowHelpContents(g_programFolder.ToStdString());
    Pump(600);
    wxWindow* viewer = FindHelpViewer();
    if (!viewer) return false;
    viewer->Move(20, 20);
    // Open a page of the guide, which also unfolds the contents tree.
    for (wxWindow* child : viewer->GetChildren()) {
        if (auto* help = dynamic_cast<wxHtmlHelpWindow*>(child)) help->Display("repair-modes.html");
    }
    Pump(600);
    const bool ok = Grab(viewer->GetScreenRect(), "help");
    viewer->Close();
    return ok;
}

// The percentage bar and buttons placed as the analysis dialog places them,
// over the analysis picture.
bool ShootProgress() {
    auto* dialog = new CSkinnedDialog;
    dialog->Create(nullptr, wxID_ANY, " Tessaly for Zip", 214, 97);
    dialog->LoadBackground(g_programFolder.ToStdString(), "analysis.bmp");
    dialog->SetIcons(AppIcons());
    const wxRect label = DialogRect(dialog, 40, 38, 128, 8);
    new wxStaticText(dialog, wxID_ANY, "Analysis is in Progress, Please  wait .....", label.GetPosition());
    const wxRect barRect = DialogRect(dialog, 40, 50, 132, 12);
    auto* bar = new CTextProgressCtrl(dialog, 1024, barRect.GetPosition(), barRect.GetSize());
    const wxRect stop = DialogRect(dialog, 54, 77, 50, 14);
    new wxButton(dialog, 1026, "Stop", stop.GetPosition(), stop.GetSize());
    const wxRect pause = DialogRect(dialog, 109, 77, 50, 14);
    new wxButton(dialog, 1027, "Pause", pause.GetPosition(), pause.GetSize());
    dialog->Move(60, 60);
    dialog->Show();
    bar->SetPos(42);
    Pump(400);
    const bool ok = Grab(dialog->GetScreenRect(), "progress");
    dialog->Destroy();
    return ok;
}

class ShotsApp : public wxApp {
public:
    bool OnInit() override {
        if (argc != 4) {
            std::fputs("usage: tessaly-ui-shots <program folder> <output folder> <shot>\n", stderr);
            return false;
        }
        g_programFolder = argv[1];
        g_outputFolder = argv[2];
        const wxString shot = argv[3];
        wxInitAllImageHandlers();
        CallAfter([this, shot] {
            const bool ok = shot == "about"      ? ShootAbout()
                            : shot == "splash"   ? ShootSplash()
                            : shot == "progress" ? ShootProgress()
                            : shot == "help"     ? ShootHelp()
                                                 : false;
            m_exitCode = ok ? 0 : 1;
            Pump(100);
            ExitMainLoop();
        });
        return true;
    }
    int OnRun() override {
        wxApp::OnRun();
        return m_exitCode;
    }

private:
    int m_exitCode = 1;
};

}  // namespace

wxIMPLEMENT_APP(ShotsApp);
