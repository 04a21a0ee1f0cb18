// The worker skeleton the analysis and saving runs share: one thread at a
// time behind the run's gate. Start launches the work with the gate open and
// the run unpaused; Pause and Resume hold and release the gate and set the
// Pause button's text; a question holds the worker while it is up; Stop
// and Wait join the thread. The run keeps its gate and its pause flag under
// its own names (its workers pass the gate, its views read the flag); this
// class only drives them.
#pragma once

#include <functional>
#include <thread>

#include "workflow/Message.h"
#include "workflow/WorkerGate.h"
#include "workflow/WorkerView.h"

namespace tessaly {

class CWorkerRun {
public:
    CWorkerRun(CWorkerGate& gate, int& paused);
    CWorkerRun(const CWorkerRun&) = delete;
    CWorkerRun& operator=(const CWorkerRun&) = delete;
    ~CWorkerRun();  // stops and joins

    // Interface thread. Stops and joins any earlier worker, then runs `work`
    // on a new thread with the gate open and unpaused; `view` gets the Pause
    // button's text and the questions.
    void Start(IWorkerView& view, std::function<void()> work);
    void Wait();  // until the worker has ended
    void RequestStop() { gate_.RequestStop(); }
    void Stop();  // RequestStop, then Wait

    // Interface thread. Pause holds the worker at its next step, Resume lets
    // it go on.
    void TogglePause();
    // Holds the worker (unless Pause holds it already) while `question` is
    // up. An answer other than Yes leaves it exactly as it was and returns
    // false; Yes returns true with the worker still held, for the caller to
    // stop it.
    bool Confirm(const Message& question);

    bool IsPaused() const { return paused_ != 0; }

private:
    CWorkerGate& gate_;
    int& paused_;
    IWorkerView* view_ = nullptr;
    std::thread thread_;
};

}  // namespace tessaly
