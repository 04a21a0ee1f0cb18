// The saving dialog: two bars and four labels over the picture
// "file-saving.bmp" while the saving worker writes the salvaged entries (or
// the repaired archive's worker writes the new archive, see RepairingRun.h).
// It implements the worker's view on the interface thread through the
// forwarder of its CWorkerDialog (bars and labels are brought up to date
// once per batch),
// and when the worker is done it shows the completion dialog or, after
// Save Current File with several archives or a repaired archive, closes so
// the preview is back.
// Stop, the close box and Escape end the process after their question.
// When saving meets an archive's encrypted entries, the password dialog
// asks for that archive's password (never on top of one of those
// questions). The worker is always joined before the dialog goes away, and
// released first if it waits for a password.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/skin/SkinnedDialog.h"
#include "workflow/SavingView.h"
#include "workflow/SavingWork.h"
#include "workflow/dialogs/WizardServices.h"
#include "workflow/dialogs/WorkerDialog.h"

class wxButton;

namespace tessaly {

class CTextProgressCtrl;
class CTransparentStatic2;

enum FileSaveId {
    IDC_SAVING_TOTAL = 1012,
    IDC_SAVING_NAME = 1018,
    IDC_SAVING_NUMBER = 1019,
    IDC_SAVING_FOLDER = 1020,
    IDC_SAVING_CURRENT = 1021,
    IDC_SAVING_STOP = 1022,
    IDC_SAVING_PAUSE = 1023,
    IDC_SAVING_OVERALL = 1032,
};

class CFileSave : public CSkinnedDialog, private ISavingView {
public:
    // Runs the saving of `wizard`, whose parts must outlive the dialog.
    explicit CFileSave(const WizardServices& wizard);
    // Runs `work` instead, which must outlive the dialog and go back to the
    // preview when done (the completion dialog is saving's).
    CFileSave(const WizardServices& wizard, ISavingWork& work);

    // Shows the dialog and saves what the job asks for.
    int ShowModal() override;

    CTextProgressCtrl* CurrentBar() const { return m_ctlCurrentProgress; }
    CTextProgressCtrl* OverallBar() const { return m_ctlOverallProgress; }

private:
    struct Shown {
        int current = 0;
        int overall = 0;
        std::string name, number, total, folder;
    };

    void CreateControls();
    void ApplyBatch();
    void Completion();
    void ShowCompletion();

    // ISavingView: worker thread, forwarded.
    void SetCurrentProgress(int percent) override;
    void SetOverallProgress(int percent) override;
    void SetFileName(const std::string& text) override;
    void SetFileNumber(const std::string& text) override;
    void SetFileTotal(const std::string& text) override;
    void SetOutputFolder(const std::string& text) override;
    void SavingFinished() override;
    void AskPassword(const std::string& archiveName, PasswordAnswer answer) override;
    // Interface thread.
    void SetPauseText(const std::string& text) override;
    MessageAnswer ShowMessage(const Message& message) override;

    WizardServices m_services;
    ISavingWork& m_run;
    CTextProgressCtrl* m_ctlCurrentProgress = nullptr;
    CTextProgressCtrl* m_ctlOverallProgress = nullptr;
    CTransparentStatic2* m_pName = nullptr;
    CTransparentStatic2* m_pNumber = nullptr;
    CTransparentStatic2* m_pTotal = nullptr;
    CTransparentStatic2* m_pFolder = nullptr;
    wxButton* m_pPause = nullptr;
    Shown m_shown;
    bool m_bChanged = false;
    bool m_bShowCompletion = false;
    bool m_bCompleted = false;                               // the worker is done and the completion dialog is due
    int m_nQuestionsUp = 0;                                  // Stop's, Escape's or the close box's question is up
    std::vector<std::function<void()>> m_deferredPasswords;  // asked while a question was up
    // Last, so that it is destroyed first: the worker is released and joined
    // while everything it may still touch is there.
    CWorkerDialog m_worker;
};

}  // namespace tessaly
