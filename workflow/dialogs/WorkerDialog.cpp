#include "workflow/dialogs/WorkerDialog.h"

#include <wx/button.h>
#include <wx/dialog.h>

namespace tessaly {

CWorkerDialog::CWorkerDialog(wxDialog& dialog, IWorkerControls& run, CViewForwarder::Step afterBatch)
    : dialog_(dialog), run_(run), forwarder_(dialog, std::move(afterBatch)) {}

// Joined before the dialog goes: the worker never outlives its view.
CWorkerDialog::~CWorkerDialog() { Release(); }

void CWorkerDialog::BindControls(wxButton* pause, int stopId) {
    pause_ = pause;
    dialog_.Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { run_.OnPause(); }, pause->GetId());
    dialog_.Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { AfterChoice(run_.OnStop()); }, stopId);
    dialog_.Bind(wxEVT_CLOSE_WINDOW, &CWorkerDialog::OnCloseBox, this);
    dialog_.Bind(wxEVT_CHAR_HOOK, &CWorkerDialog::OnCharHook, this);
}

void CWorkerDialog::Begin(const std::function<void()>& start) {
    pause_->SetLabel("Pause");
    forwarder_.Open();
    running_ = true;
    start();
}

void CWorkerDialog::End(int code) {
    Release();
    if (dialog_.IsModal()) dialog_.EndModal(code);
}

// Nothing more reaches the dialog, and a worker waiting for its answer is
// let go before it is joined.
void CWorkerDialog::Release() {
    forwarder_.Close();
    run_.CancelQuestions();
    if (running_) run_.Wait();
    running_ = false;
}

void CWorkerDialog::SetPauseText(const std::string& text) { pause_->SetLabel(wxString::FromUTF8(text)); }

void CWorkerDialog::OnCloseBox(wxCloseEvent& event) {
    if (!running_) {
        event.Skip();
        return;
    }
    event.Veto();
    AfterChoice(run_.OnClose());
}

void CWorkerDialog::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_ESCAPE) {
        event.Skip();
        return;
    }
    if (running_) AfterChoice(run_.OnEscape());
}

void CWorkerDialog::AfterChoice(UserChoice choice) {
    switch (choice) {
        case UserChoice::Continued: return;
        case UserChoice::Stopped:
            // What the worker showed before it stopped stays; nothing after.
            forwarder_.Flush();
            End(wxID_OK);
            return;
        case UserChoice::ProcessEnded: End(wxID_CANCEL); return;
    }
}

}  // namespace tessaly
