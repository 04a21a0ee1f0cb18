// Carries a worker's view calls to the interface thread, in order and in
// batches: the worker queues a step (cheap: one lock, one push), and the
// interface thread runs everything queued so far in one go, then lets the
// dialog bring its controls up to date once (AfterBatch). So a worker that
// lists tens of thousands of rows costs one repaint per batch, not per row.
//
// Close() ends the forwarding for good: queued steps are dropped and later
// ones are ignored, so nothing reaches a dialog that is closing. A worker
// that waits for an answer (Ask) is released by CancelQuestions() or
// Close(), with the given fallback answer.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "workflow/Message.h"

class wxEvtHandler;

namespace tessaly {

class CViewForwarder {
public:
    using Step = std::function<void()>;

    // `target` receives the CallAfter events that run the batches;
    // `afterBatch` (may be empty) runs on the interface thread after each.
    CViewForwarder(wxEvtHandler& target, Step afterBatch);
    CViewForwarder(const CViewForwarder&) = delete;
    CViewForwarder& operator=(const CViewForwarder&) = delete;

    // Any thread. Queues `step` to run on the interface thread.
    void Post(Step step);
    // Any thread. On the interface thread asks at once; on another thread
    // queues the question and waits for the answer (or for cancellation).
    MessageAnswer Ask(std::function<MessageAnswer()> ask, MessageAnswer ifCancelled);

    // Interface thread.
    void Open();             // forwards again (for the next run of a reused dialog)
    void Flush();            // runs what is queued now, then AfterBatch
    void CancelQuestions();  // waiting askers get their fallback answer
    void Close();            // drops what is queued and forwards nothing more
    bool IsClosed() const { return closed_.load(std::memory_order_acquire); }

private:
    void Schedule();

    wxEvtHandler& target_;
    Step afterBatch_;
    std::mutex mutex_;
    std::vector<Step> queued_;
    bool scheduled_ = false;
    std::atomic<bool> closed_{false};
    std::atomic<unsigned> questionEpoch_{0};
};

}  // namespace tessaly
