// What a worker's dialog drives on its run, the same for the analysis and
// for saving: Pause / Resume, Stop, the close box and Escape, and the join
// that keeps the worker from outliving the dialog. No toolkit: the dialog
// side (workflow/dialogs/WorkerDialog.h) binds its buttons and keys to it.
#pragma once

namespace tessaly {

// What a user action on a running worker came to.
enum class UserChoice {
    Continued,     // answered No: the worker goes on as before
    Stopped,       // the worker has stopped; the dialog closes
    ProcessEnded,  // the process-ending action ran
};

class IWorkerControls {
public:
    virtual ~IWorkerControls() = default;

    // Interface thread.
    virtual void OnPause() = 0;  // Pause / Resume toggles
    virtual UserChoice OnStop() = 0;
    virtual UserChoice OnClose() = 0;
    virtual UserChoice OnEscape() = 0;
    // Waits until the worker has ended.
    virtual void Wait() = 0;
    // Any thread: a worker waiting for an answer from the view is released,
    // before the view goes away. Nothing to do for a worker that never waits.
    virtual void CancelQuestions() {}
};

}  // namespace tessaly
