#include "workflow/dialogs/ViewForwarder.h"

#include <wx/event.h>
#include <wx/thread.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

namespace tessaly {
namespace {

// One question in flight from a worker: the answer, once the interface
// thread has it.
struct PendingAnswer {
    std::mutex mutex;
    std::condition_variable ready;
    std::optional<MessageAnswer> answer;
};

constexpr auto kAnswerPoll = std::chrono::milliseconds(20);

}  // namespace

CViewForwarder::CViewForwarder(wxEvtHandler& target, Step afterBatch)
    : target_(target), afterBatch_(std::move(afterBatch)) {}

void CViewForwarder::Post(Step step) {
    if (IsClosed()) return;
    bool schedule = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queued_.push_back(std::move(step));
        schedule = !scheduled_;
        scheduled_ = true;
    }
    if (schedule) Schedule();
}

void CViewForwarder::Schedule() {
    target_.CallAfter([this] { Flush(); });
}

void CViewForwarder::Flush() {
    std::vector<Step> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        batch.swap(queued_);
        scheduled_ = false;
    }
    if (IsClosed()) return;
    for (Step& step : batch) {
        step();
        if (IsClosed()) return;  // a step closed the dialog: the rest is dropped
    }
    if (afterBatch_) afterBatch_();
}

MessageAnswer CViewForwarder::Ask(std::function<MessageAnswer()> ask, MessageAnswer ifCancelled) {
    if (wxThread::IsMain()) return ask();
    auto pending = std::make_shared<PendingAnswer>();
    const unsigned epoch = questionEpoch_.load(std::memory_order_acquire);
    Post([pending, ask = std::move(ask)] {
        const MessageAnswer answer = ask();
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->answer = answer;
        pending->ready.notify_all();
    });
    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->answer) {
        if (IsClosed() || questionEpoch_.load(std::memory_order_acquire) != epoch) return ifCancelled;
        pending->ready.wait_for(lock, kAnswerPoll);
    }
    return *pending->answer;
}

void CViewForwarder::Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.clear();
    closed_.store(false, std::memory_order_release);
}

void CViewForwarder::CancelQuestions() { questionEpoch_.fetch_add(1, std::memory_order_acq_rel); }

void CViewForwarder::Close() {
    closed_.store(true, std::memory_order_release);
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.clear();
}

}  // namespace tessaly
