#include "workflow/dialogs/ProgressBar.h"

#include <wx/button.h>
#include <wx/stattext.h>

#include "core/Settings.h"
#include "ui/controls/TextProgressCtrl.h"
#include "ui/skin/AppIcon.h"
#include "ui/skin/DialogUnits.h"
#include "workflow/AnalysisRun.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/LabelFit.h"

namespace tessaly {

CProgressBar::CProgressBar(const WizardServices& wizard, IEntryRows& rows)
    : m_services(wizard),
      m_run(*wizard.analysis),
      m_rows(rows),
      m_worker(*this, *wizard.analysis, [this] { ApplyBatch(); }) {
    Create(nullptr, wxID_ANY, wxString::FromUTF8(AppTitle), 214, 97, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetIcons(AppIcons());
    CreateControls();
    m_worker.BindControls(m_pPause, IDC_ANALYSIS_STOP);
    Bind(wxEVT_HELP, [](wxHelpEvent&) {});  // F1: handled, nothing opens
    // Enter presses the focused button only; no button is the default.
    SetAffirmativeId(wxID_NONE);
    SetEscapeId(wxID_NONE);
    Centre();
}

void CProgressBar::CreateControls() {
    const wxRect pause = DialogRect(this, 109, 77, 50, 14);
    m_pPause = new wxButton(this, IDC_ANALYSIS_PAUSE, "Pause", pause.GetPosition(), pause.GetSize());
    const wxRect stop = DialogRect(this, 54, 77, 50, 14);
    new wxButton(this, IDC_ANALYSIS_STOP, "Stop", stop.GetPosition(), stop.GetSize());
    const wxRect label = DialogRect(this, 40, 38, 128, 8);
    FitLabelWidth(new wxStaticText(this, wxID_ANY, "Analysis is in Progress, Please  wait .....", label.GetPosition(),
                                   label.GetSize()));
    const wxRect bar = DialogRect(this, 40, 50, 132, 12);
    m_pBar = new CTextProgressCtrl(this, IDC_ANALYSIS_PROGRESS, bar.GetPosition(), bar.GetSize());
    m_pBar->SetRange32(0, 100);
}

int CProgressBar::ShowModal() {
    // The picture is loaded at each initialisation; each analysis starts
    // with "Pause" and the worker running.
    LoadBackground(ProgramFolder(), "analysis.bmp");
    m_pBar->SetPos(0);
    m_nBarPos = 0;
    m_bAnalysisDone = false;
    m_worker.Begin([this] { m_run.Start(*this); });
    return CSkinnedDialog::ShowModal();
}

void CProgressBar::ApplyBatch() {
    ShowChanges();
    if (m_bAnalysisDone) Finish();
}

// The list and the bar show what the steps run so far changed.
void CProgressBar::ShowChanges() {
    m_rows.RowsChanged();
    if (m_bBarChanged) m_pBar->SetPos(m_nBarPos);
    m_bBarChanged = false;
}

// The worker has signalled its end: wait for it and close.
void CProgressBar::Finish() {
    m_bAnalysisDone = false;
    m_worker.End(wxID_CANCEL);
}

// ---- IAnalysisView ---------------------------------------------------------

void CProgressBar::SetProgress(int percent) {
    m_worker.Forwarder().Post([this, percent] {
        m_nBarPos = percent;
        m_bBarChanged = true;
    });
}

void CProgressBar::ClearRows() {
    m_worker.Forwarder().Post([this] { m_rows.ClearRows(); });
}

// Rows travel in their own batch, moved rather than wrapped one by one, and
// only the latest count is shown: the interface thread does a few
// microseconds of work per row however fast the worker lists them.
void CProgressBar::InsertRow(int position, const EntryRow& row) {
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(m_rowMutex);
        m_pendingRows.push_back({position, row});
        post = !m_bRowsPosted;
        m_bRowsPosted = true;
    }
    if (post) m_worker.Forwarder().Post([this] { TakePendingRows(); });
}

void CProgressBar::SetShownCount(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_rowMutex);
    m_pendingCount = text;
}

void CProgressBar::TakePendingRows() {
    std::vector<PendingRow> rows;
    std::string count;
    {
        std::lock_guard<std::mutex> lock(m_rowMutex);
        rows.swap(m_pendingRows);
        count.swap(m_pendingCount);
        m_bRowsPosted = false;
    }
    for (PendingRow& pending : rows) m_rows.InsertRow(pending.position, std::move(pending.row));
    if (!count.empty()) m_rows.SetShownCount(count);
}

void CProgressBar::AnalysisFinished() {
    m_worker.Forwarder().Post([this] { m_bAnalysisDone = true; });
}

void CProgressBar::SetPauseText(const std::string& text) { m_worker.SetPauseText(text); }

MessageAnswer CProgressBar::ShowMessage(const Message& message) {
    // A message about this archive never stands over the rows of the one
    // before: what the worker changed before asking is shown first.
    const MessageAnswer answer = m_worker.Forwarder().Ask(
        [this, message] {
            ShowChanges();
            return m_services.ShowMessage(this, message);
        },
        MessageAnswer::Ok);
    // Yes to Stop or exit: the worker is about to be stopped and joined, so
    // a notice it may be waiting on must not hold it.
    if (answer == MessageAnswer::Yes) m_worker.Forwarder().CancelQuestions();
    return answer;
}

}  // namespace tessaly
