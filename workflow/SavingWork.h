// What the saving dialog runs under its two bars: saving the salvaged
// entries into folders (SavingRun.h), or writing one repaired archive
// (RepairingRun.h). The dialog starts the run with itself as the view,
// binds Pause, Stop, the close box and Escape to it, and asks it where to
// go once its worker has said SavingFinished.
#pragma once

#include "workflow/SavingView.h"
#include "workflow/WorkerControls.h"

namespace tessaly {

// Where the dialog goes once the worker has finished.
enum class AfterSaving {
    ShowCompletion,  // hide the saving dialog and show the completion dialog
    BackToPreview,   // close the saving dialog; the preview is back
};

class ISavingWork : public IWorkerControls {
public:
    // Interface thread: starts the worker with `view` as its view.
    virtual void Start(ISavingView& view) = 0;
    // After SavingFinished, on the interface thread: waits for the worker
    // and says where to go.
    virtual AfterSaving AfterFinished() = 0;
    // Any thread: a stop was requested (a question asked now gets no answer).
    virtual bool IsStopping() const = 0;
};

}  // namespace tessaly
