#include "workflow/WorkerGate.h"

namespace tessaly {

void CWorkerGate::Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
    UpdateAttention();
}

void CWorkerGate::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        UpdateAttention();
    }
    changed_.notify_all();
}

void CWorkerGate::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        stopFlag_.store(true, std::memory_order_release);
        UpdateAttention();
    }
    changed_.notify_all();
}

void CWorkerGate::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
    stopped_ = false;
    stopFlag_.store(false, std::memory_order_release);
    UpdateAttention();
}

bool CWorkerGate::Pass() {
    if (!NeedsAttention()) return true;
    std::unique_lock<std::mutex> lock(mutex_);
    WaitWhileHeld(lock);
    return !stopped_;
}

void CWorkerGate::WaitWhileHeld(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !held_ || stopped_; });
}

}  // namespace tessaly
