#include "workflow/WorkerRun.h"

#include <utility>

namespace tessaly {

CWorkerRun::CWorkerRun(CWorkerGate& gate, int& paused) : gate_(gate), paused_(paused) {}

CWorkerRun::~CWorkerRun() { Stop(); }

void CWorkerRun::Start(IWorkerView& view, std::function<void()> work) {
    Stop();
    view_ = &view;
    gate_.Reset();
    paused_ = 0;  // every run starts unpaused
    thread_ = std::thread(std::move(work));
}

void CWorkerRun::Wait() {
    if (thread_.joinable()) thread_.join();
}

void CWorkerRun::Stop() {
    gate_.RequestStop();
    Wait();
}

void CWorkerRun::TogglePause() {
    if (paused_) {
        gate_.Release();
        view_->SetPauseText("Pause");
        paused_ = 0;
    } else {
        gate_.Hold();
        view_->SetPauseText("Resume");
        paused_ = 1;
    }
}

bool CWorkerRun::Confirm(const Message& question) {
    if (!paused_) gate_.Hold();
    if (view_->ShowMessage(question) == MessageAnswer::Yes) return true;
    if (!paused_) gate_.Release();
    return false;
}

}  // namespace tessaly
