// The analysis dialog: a percentage bar, Pause/Resume and Stop over the
// picture "analysis.bmp", while the analysis worker lists one archive's
// entries into the preview's list. It implements the worker's view on the
// interface thread through the forwarder of its CWorkerDialog and closes
// itself once the worker has signalled its end; the worker is always joined
// before the dialog goes away.
//
// Stop, the close box and Alt+F4 ask the Stop question; Escape asks the exit
// question and, on Yes, ends the process. Enter presses only the focused
// button.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "ui/skin/SkinnedDialog.h"
#include "workflow/AnalysisView.h"
#include "workflow/dialogs/WizardServices.h"
#include "workflow/dialogs/WorkerDialog.h"

class wxButton;

namespace tessaly {

class CAnalysisRun;
class CTextProgressCtrl;
class IEntryRows;

enum ProgressBarId {
    IDC_ANALYSIS_PROGRESS = 1024,
    IDC_ANALYSIS_STOP = 1026,
    IDC_ANALYSIS_PAUSE = 1027,
};

class CProgressBar : public CSkinnedDialog, private IAnalysisView {
public:
    // Runs the analysis of `wizard`; `rows` receives the entries listed.
    // The parts and `rows` must outlive the dialog.
    CProgressBar(const WizardServices& wizard, IEntryRows& rows);

    // Shows the dialog and analyses archive job.m_nCurrentFile until the
    // worker ends or is stopped.
    int ShowModal() override;

    CTextProgressCtrl* Bar() const { return m_pBar; }

private:
    void CreateControls();
    void ApplyBatch();
    void ShowChanges();
    void Finish();
    void TakePendingRows();

    // IAnalysisView: worker thread, forwarded.
    void SetProgress(int percent) override;
    void ClearRows() override;
    void InsertRow(int position, const EntryRow& row) override;
    void SetShownCount(const std::string& text) override;
    void AnalysisFinished() override;
    // Interface thread.
    void SetPauseText(const std::string& text) override;
    MessageAnswer ShowMessage(const Message& message) override;

    WizardServices m_services;
    CAnalysisRun& m_run;
    IEntryRows& m_rows;
    // Rows and the count the worker listed since the last batch.
    struct PendingRow {
        int position;
        EntryRow row;
    };
    std::mutex m_rowMutex;
    std::vector<PendingRow> m_pendingRows;
    std::string m_pendingCount;
    bool m_bRowsPosted = false;
    CTextProgressCtrl* m_pBar = nullptr;
    wxButton* m_pPause = nullptr;
    int m_nBarPos = 0;
    bool m_bBarChanged = false;
    bool m_bAnalysisDone = false;
    // Last, so that it is destroyed first: the worker is joined while
    // everything it may still touch is there.
    CWorkerDialog m_worker;
};

}  // namespace tessaly
