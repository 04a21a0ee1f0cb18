// How the interface thread holds, releases and stops a worker without
// suspending or killing its thread: the worker passes the gate before every
// step that shows something (a bar, a row, a label, a log text), and halts
// there while the gate is held.
//
// A step runs inside the gate, so once Hold() has returned no further step
// shows anything until Release(); once RequestStop() has returned no step
// runs at all. Steps must therefore not wait for the interface thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "archive/salvage/SalvageDriver.h"

namespace tessaly {

// Thrown inside a worker (also through the archive layer's scan, by the
// progress hooks, and through a salvage, which ends at it) to abandon its
// work once a stop was requested.
class WorkerStopped : public std::runtime_error, public SalvageStopped {
public:
    WorkerStopped() : std::runtime_error("worker stopped") {}
};

class CWorkerGate {
public:
    // Interface thread.
    void Hold();
    void Release();
    void RequestStop();
    void Reset();  // open and not stopped, for the next run

    // Worker thread. Pass: waits while held; false once stopped.
    bool Pass();
    // Passes the gate and runs `step` inside it; false (step not run) once
    // stopped.
    template <typename Step>
    bool Run(Step&& step) {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitWhileHeld(lock);
        if (stopped_) return false;
        step();
        return true;
    }
    // Like Run, but throws WorkerStopped when stopped.
    template <typename Step>
    void RunOrThrow(Step&& step) {
        if (!Run(std::forward<Step>(step))) throw WorkerStopped();
    }
    bool StopRequested() const { return stopFlag_.load(std::memory_order_acquire); }
    // Cheap test for the worker's hot loops: true when Pass would do more
    // than return true at once.
    bool NeedsAttention() const { return attention_.load(std::memory_order_acquire); }

private:
    void WaitWhileHeld(std::unique_lock<std::mutex>& lock);
    void UpdateAttention() { attention_.store(held_ || stopped_, std::memory_order_release); }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool stopped_ = false;
    std::atomic<bool> stopFlag_{false};
    std::atomic<bool> attention_{false};
};

}  // namespace tessaly
