// A repair job in a sandbox: its own scan state, job, log and folders, with
// archives written by the test ZIP writer, an analysis and a saving run whose
// process-ending action only counts, and a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "archive/ScanState.h"
#include "tests/log/LogSandbox.h"
#include "tests/support/Damage.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"
#include "tests/workflow/Recorders.h"
#include "workflow/AnalysisRun.h"
#include "workflow/RepairJob.h"
#include "workflow/SavingRun.h"

#include "tests/support/LocalTime.h"

namespace tessaly::testflow {

// A bar's values as a person watches them: from 0, never backwards, through
// every one of `milestones` (what it shows when a part of the work is done),
// and at 100 exactly when the work ends.
inline ::testing::AssertionResult StepsThrough(const std::vector<int>& bars, const std::vector<int>& milestones) {
    if (bars.empty() || bars.front() != 0 || bars.back() != 100)
        return ::testing::AssertionFailure() << "does not run from 0 to 100: " << ::testing::PrintToString(bars);
    for (std::size_t i = 1; i < bars.size(); ++i)
        if (bars[i] < bars[i - 1])
            return ::testing::AssertionFailure() << "moves back: " << ::testing::PrintToString(bars);
    if (std::count(bars.begin(), bars.end(), 100) != 1)
        return ::testing::AssertionFailure() << "shows 100 before the end: " << ::testing::PrintToString(bars);
    for (int milestone : milestones)
        if (std::find(bars.begin(), bars.end(), milestone) == bars.end())
            return ::testing::AssertionFailure()
                   << "never shows " << milestone << ": " << ::testing::PrintToString(bars);
    return ::testing::AssertionSuccess();
}

using testzip::At;

// Holds a worker inside the archive layer's scan: the first progress report
// waits until the test lets it go on.
class ScanCheckpoint {
public:
    explicit ScanCheckpoint(ProgressHook& hook) {
        hook = [this, inner = hook](std::uint64_t position, std::uint64_t total, std::uint64_t steps) {
            if (!entered_.exchange(true)) {
                reached_.set_value();
                proceed_.get_future().wait();
            }
            inner(position, total, steps);
        };
    }
    void WaitUntilReached() { reached_.get_future().wait(); }
    void LetGo() { proceed_.set_value(); }

private:
    std::atomic<bool> entered_{false};
    std::promise<void> reached_;
    std::promise<void> proceed_;
};

class WorkflowTest : public ::testing::Test {
protected:
    WorkflowTest()
        : analysis_(job_, [this] { ++endCalls_; }),
          saving_(
              job_, [this] { ++endCalls_; }, [this] { return NextTime(); }) {
        std::filesystem::create_directories(In());
        std::filesystem::create_directories(Out());
    }

    std::filesystem::path In() const { return sandbox_.Root() / "in"; }
    std::filesystem::path Out() const { return sandbox_.Root() / "out"; }

    std::string WriteArchive(const std::string& name, const testzip::Bytes& bytes) const {
        const auto path = In() / name;
        testzip::WriteFileBytes(path, bytes);
        return path.string();
    }
    std::string WriteArchive(const std::string& name, const std::vector<testzip::EntryToWrite>& entries) const {
        return WriteArchive(name, testzip::BuildZip(entries).bytes);
    }

    void Select(const std::vector<std::string>& paths) {
        job_.ClearSourcePaths();
        for (const auto& path : paths) job_.AppendSourcePath(path);
        job_.m_nSourceCount = static_cast<int>(paths.size());
    }

    // Analyses archive `number` to its end.
    void Analyse(int number) {
        job_.m_nCurrentFile = number;
        analysis_.Start(analysisView_);
        ASSERT_TRUE(analysisView_.WaitFor("finished"));
        analysis_.Wait();
    }

    void SaveAll(const std::filesystem::path& destination) {
        job_.m_bSaveCurrentOnly = 0;
        job_.m_szAllFilesDest = destination.string();
        saving_.Start(savingView_);
        ASSERT_TRUE(savingView_.WaitFor("finished"));
        saving_.Wait();
    }

    void SetTimes(std::vector<std::tm> times) {
        std::lock_guard<std::mutex> lock(timeMutex_);
        times_ = std::move(times);
    }

    std::string LogText() const { return sandbox_.ReadLog(); }

    testlog::LogSandbox sandbox_;
    CRepairJob job_;
    AnalysisRecorder analysisView_;
    SavingRecorder savingView_;
    std::atomic<int> endCalls_{0};
    CAnalysisRun analysis_;
    CSavingRun saving_;

private:
    std::tm NextTime() {
        std::lock_guard<std::mutex> lock(timeMutex_);
        if (times_.empty()) return At(2026, 12, 7, 3, 25, 40);
        std::tm next = times_.front();
        if (times_.size() > 1) times_.erase(times_.begin());
        return next;
    }

    std::mutex timeMutex_;
    std::vector<std::tm> times_;
};

}  // namespace tessaly::testflow
