#include "workflow/dialogs/FileSave.h"

#include <wx/button.h>

#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <algorithm>

#include "core/Settings.h"
#include "ui/about/AboutDlg.h"
#include "ui/controls/TextProgressCtrl.h"
#include "ui/controls/TransparentStatic2.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"
#include "ui/skin/SystemMenuAbout.h"
#include "workflow/SavingRun.h"
#include "workflow/dialogs/LabelFit.h"
#include "workflow/dialogs/PathLabel.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly {
namespace {

void SetText(CTransparentStatic2* label, const std::string& text) {
    const wxString shown = wxString::FromUTF8(text);
    if (label->GetLabel() != shown) label->SetLabel(shown);
}

void SetBar(CTextProgressCtrl* bar, int percent) {
    if (bar->GetPos() != percent) bar->SetPos(percent);
}

}  // namespace

CFileSave::CFileSave(const WizardServices& wizard) : CFileSave(wizard, *wizard.saving) {}

CFileSave::CFileSave(const WizardServices& wizard, ISavingWork& work)
    : m_services(wizard), m_run(work), m_worker(*this, work, [this] { ApplyBatch(); }) {
    Create(nullptr, wxID_ANY, wxString::FromUTF8(AppTitle), 349, 209, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetIcons(AppIcons());
    AddSystemMenuAbout(*this, [this] { ShowAboutBox(this, ProgramFolder()); });
    CreateControls();
    m_worker.BindControls(m_pPause, IDC_SAVING_STOP);
    Bind(wxEVT_HELP, [](wxHelpEvent&) {});  // F1 is swallowed
    SetAffirmativeId(wxID_NONE);
    SetEscapeId(wxID_NONE);
    Centre();
}

// In the template's tab order.
void CFileSave::CreateControls() {
    auto place = [this](int x, int y, int w, int h) { return DialogRect(this, x, y, w, h); };
    auto label = [&](const char* text, int x, int y, int w, int h) {
        const wxRect r = place(x, y, w, h);
        auto* control = new wxStaticText(this, wxID_ANY, text, r.GetPosition(), r.GetSize());
        FitLabelWidth(control);
        return control;
    };
    auto value = [&](int id, int x, int y, int w, int h, long style = 0) {
        const wxRect r = place(x, y, w, h);
        return new CTransparentStatic2(this, id, wxString(), r.GetPosition(), r.GetSize(), style);
    };
    auto bar = [&](int id, int x, int y, int w, int h) {
        const wxRect r = place(x, y, w, h);
        auto* control = new CTextProgressCtrl(this, id, r.GetPosition(), r.GetSize(), wxGA_SMOOTH | wxBORDER_SIMPLE);
        control->SetRange32(0, 100);
        return control;
    };
    auto group = [&](int x, int y, int w, int h) {
        const wxRect r = place(x, y, w, h);
        return new wxStaticBox(this, wxID_ANY, wxString(), r.GetPosition(), r.GetSize());
    };
    const wxRect pause = place(176, 185, 50, 14);
    m_pPause = new wxButton(this, IDC_SAVING_PAUSE, "Pause", pause.GetPosition(), pause.GetSize());
    const wxRect stop = place(122, 185, 50, 14);
    new wxButton(this, IDC_SAVING_STOP, "Stop", stop.GetPosition(), stop.GetSize());
    wxWindow* nameLabel = label("File Name  :", 25, 44, 38, 9);
    m_pName = value(IDC_SAVING_NAME, 66, 44, 268, 16);
    wxWindow* countLabel = label("File Count :", 25, 66, 38, 9);
    m_pNumber = value(IDC_SAVING_NUMBER, 56, 66, 13, 8, wxALIGN_RIGHT);
    wxWindow* pathLabel = label("File Path   :", 25, 86, 38, 9);
    m_pFolder = value(IDC_SAVING_FOLDER, 66, 86, 256, 18);
    group(80, 118, 190, 28);
    m_ctlOverallProgress = bar(IDC_SAVING_OVERALL, 41, 163, 264, 10);
    group(24, 153, 297, 26);
    m_ctlCurrentProgress = bar(IDC_SAVING_CURRENT, 96, 130, 155, 10);
    wxWindow* slash = label("/", 71, 66, 8, 8);
    m_pTotal = value(IDC_SAVING_TOTAL, 77, 66, 12, 8);
    group(4, 33, 8, 9)->Hide();
    label("Current Progress", 83, 113, 56, 8);
    label("Overall Progress", 28, 149, 55, 9);
    const wxRect line = place(0, 35, 349, 1);
    new wxStaticLine(this, wxID_ANY, line.GetPosition(), wxSize(line.width, 1));
    // Values stay clear of their labels in a wider font: "n / total" moves as one.
    KeepRightOf(m_pName, nameLabel);
    KeepRightOf(m_pFolder, pathLabel);
    const int shift = std::max(0, countLabel->GetRect().GetRight() + 1 + FromDIP(4) - m_pNumber->GetPosition().x);
    for (wxWindow* part : {static_cast<wxWindow*>(m_pNumber), slash, static_cast<wxWindow*>(m_pTotal)})
        part->Move(part->GetPosition() + wxPoint(shift, 0));
}

int CFileSave::ShowModal() {
    LoadBackground(ProgramFolder(), "file-saving.bmp");
    m_bShowCompletion = false;
    m_bCompleted = false;
    m_worker.Begin([this] { m_run.Start(*this); });
    const int code = CSkinnedDialog::ShowModal();
    if (m_bCompleted) ShowCompletion();
    return code;
}

// Runs once this dialog's own modal run is over, from the place that opened
// it: see Completion(). Only saving ends here.
void CFileSave::ShowCompletion() {
    m_bCompleted = false;
    CViewLog completion(m_services.saving->Summary(), m_services);
    completion.ShowModal();
}

void CFileSave::ApplyBatch() {
    if (m_bChanged) {
        SetBar(m_ctlCurrentProgress, m_shown.current);
        SetBar(m_ctlOverallProgress, m_shown.overall);
        ShowPath(m_pName, wxString::FromUTF8(m_shown.name));
        SetText(m_pNumber, m_shown.number);
        SetText(m_pTotal, m_shown.total);
        ShowPath(m_pFolder, wxString::FromUTF8(m_shown.folder));
        m_bChanged = false;
    }
    if (m_bShowCompletion) Completion();
}

// The worker is done: the completion dialog, or back to the preview.
//
// The completion dialog is not run from here: this is a queued call, which
// GTK delivers from its idle processing inside this dialog's modal run, and a
// modal run started there gets its window drawn only at the toolkit's next
// frame, not when it is shown. So this dialog's run ends first, and
// ShowModal opens the completion dialog once it has returned, from the place
// that opened this one.
void CFileSave::Completion() {
    m_bShowCompletion = false;
    m_worker.Forwarder().Close();
    const AfterSaving next = m_run.AfterFinished();
    m_worker.Joined();
    if (next == AfterSaving::BackToPreview) {
        EndModal(wxID_CANCEL);
        return;
    }
    m_bCompleted = true;
    if (IsModal()) EndModal(wxID_OK);
}

// ---- ISavingView -----------------------------------------------------------

void CFileSave::SetCurrentProgress(int percent) {
    m_worker.Forwarder().Post([this, percent] {
        m_shown.current = percent;
        m_bChanged = true;
    });
}

void CFileSave::SetOverallProgress(int percent) {
    m_worker.Forwarder().Post([this, percent] {
        m_shown.overall = percent;
        m_bChanged = true;
    });
}

void CFileSave::SetFileName(const std::string& text) {
    m_worker.Forwarder().Post([this, text] {
        m_shown.name = text;
        m_bChanged = true;
    });
}

void CFileSave::SetFileNumber(const std::string& text) {
    m_worker.Forwarder().Post([this, text] {
        m_shown.number = text;
        m_bChanged = true;
    });
}

void CFileSave::SetFileTotal(const std::string& text) {
    m_worker.Forwarder().Post([this, text] {
        m_shown.total = text;
        m_bChanged = true;
    });
}

void CFileSave::SetOutputFolder(const std::string& text) {
    m_worker.Forwarder().Post([this, text] {
        m_shown.folder = text;
        m_bChanged = true;
    });
}

void CFileSave::SavingFinished() {
    m_worker.Forwarder().Post([this] { m_bShowCompletion = true; });
}

void CFileSave::SetPauseText(const std::string& text) { m_worker.SetPauseText(text); }

// The password dialog does not come up over Stop's (or Escape's, or the
// close box's) question: a password asked meanwhile waits for it to be
// answered, and a run that is stopping asks nothing more.
void CFileSave::AskPassword(const std::string& archiveName, PasswordAnswer answer) {
    m_worker.Forwarder().Post([this, archiveName, answer = std::move(answer)]() mutable {
        auto ask = [this, archiveName, answer = std::move(answer)] {
            answer(m_run.IsStopping() ? std::nullopt : m_services.AskPassword(this, archiveName));
        };
        if (m_nQuestionsUp > 0)
            m_deferredPasswords.push_back(std::move(ask));
        else
            ask();
    });
}

MessageAnswer CFileSave::ShowMessage(const Message& message) {
    ++m_nQuestionsUp;
    const MessageAnswer answer =
        m_worker.Forwarder().Ask([this, message] { return m_services.ShowMessage(this, message); }, MessageAnswer::Ok);
    if (--m_nQuestionsUp == 0) {
        std::vector<std::function<void()>> deferred;
        deferred.swap(m_deferredPasswords);
        for (auto& ask : deferred) m_worker.Forwarder().Post(std::move(ask));
    }
    return answer;
}

}  // namespace tessaly
