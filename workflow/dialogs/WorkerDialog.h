// What the analysis and the saving dialog share about their worker: the
// forwarder that carries the worker's view calls to the interface thread,
// Pause, Stop, the close box and Escape wired to the run, the Pause
// button's text, and the join that keeps the worker from outliving the
// dialog. A dialog holds one as a member; its destructor joins the worker,
// so the dialog is joined-before-destroyed by construction.
//
// Stop, the close box and Escape act only while a worker runs (otherwise
// the close box closes and Escape does nothing). Their answer closes the
// dialog when the worker stopped (what it showed until then stays) or the
// process-ending action ran.
#pragma once

#include <functional>
#include <string>

#include "workflow/WorkerControls.h"
#include "workflow/dialogs/ViewForwarder.h"

class wxButton;
class wxCloseEvent;
class wxDialog;
class wxKeyEvent;

namespace tessaly {

class CWorkerDialog {
public:
    // `dialog` receives the forwarded calls; `afterBatch` runs on the
    // interface thread after each batch. Both must outlive this object.
    CWorkerDialog(wxDialog& dialog, IWorkerControls& run, CViewForwarder::Step afterBatch);
    CWorkerDialog(const CWorkerDialog&) = delete;
    CWorkerDialog& operator=(const CWorkerDialog&) = delete;
    ~CWorkerDialog();

    // Binds the Pause button, the Stop button, the close box and Escape to
    // the run.
    void BindControls(wxButton* pause, int stopId);
    // Starts a run of a shown dialog: "Pause" on the button, forwarding
    // open, then `start` (which starts the worker with the dialog as view).
    void Begin(const std::function<void()>& start);
    // Forwarding closed, a worker waiting for an answer released and joined,
    // and the dialog's modal run ended with `code`.
    void End(int code);
    // The run has joined its worker itself (after the worker's end signal).
    void Joined() { running_ = false; }

    bool IsRunning() const { return running_; }
    void SetPauseText(const std::string& text);
    CViewForwarder& Forwarder() { return forwarder_; }

private:
    void OnCloseBox(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void AfterChoice(UserChoice choice);
    void Release();

    wxDialog& dialog_;
    IWorkerControls& run_;
    CViewForwarder forwarder_;
    wxButton* pause_ = nullptr;
    bool running_ = false;
};

}  // namespace tessaly
