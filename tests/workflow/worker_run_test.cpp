// The worker skeleton the analysis and saving runs share: Pause and Resume
// hold and release the worker with the button's text, a question holds it
// while it is up, and every run starts unpaused with the gate open.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "workflow/WorkerRun.h"

namespace tessaly {
namespace {

using namespace std::chrono_literals;

class ScriptedView : public IWorkerView {
public:
    void SetPauseText(const std::string& text) override { pauseTexts.push_back(text); }
    MessageAnswer ShowMessage(const Message& message) override {
        asked.push_back(message.text);
        const MessageAnswer answer = answers.empty() ? MessageAnswer::No : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }

    std::vector<std::string> pauseTexts;
    std::vector<std::string> asked;
    std::deque<MessageAnswer> answers;
};

class WorkerRunTest : public ::testing::Test {
protected:
    // A worker that takes one step after another until it is stopped.
    void StartCounting() {
        worker_.Start(view_, [this] {
            while (gate_.Run([this] { ++steps_; })) std::this_thread::sleep_for(1ms);
        });
    }
    // True when the worker takes further steps within a while.
    bool MovesOn() {
        const int before = steps_;
        for (int i = 0; i < 100 && steps_ == before; ++i) std::this_thread::sleep_for(2ms);
        return steps_ != before;
    }

    CWorkerGate gate_;
    int paused_ = 0;
    CWorkerRun worker_{gate_, paused_};
    ScriptedView view_;
    std::atomic<int> steps_{0};
};

TEST_F(WorkerRunTest, PauseHoldsTheWorkerAndResumeLetsItGoOnWithTheButtonsText) {
    StartCounting();
    EXPECT_TRUE(MovesOn());
    worker_.TogglePause();
    EXPECT_TRUE(worker_.IsPaused());
    EXPECT_EQ(paused_, 1) << "the run's own flag is the one driven";
    EXPECT_FALSE(MovesOn());
    worker_.TogglePause();
    EXPECT_FALSE(worker_.IsPaused());
    EXPECT_TRUE(MovesOn());
    EXPECT_EQ(view_.pauseTexts, (std::vector<std::string>{"Resume", "Pause"}));
    worker_.Stop();
    EXPECT_FALSE(MovesOn());
}

TEST_F(WorkerRunTest, AQuestionHoldsTheWorkerAndNoLeavesItAsItWas) {
    const Message question = Question("Stop?", "caption");
    StartCounting();
    EXPECT_FALSE(worker_.Confirm(question));
    EXPECT_TRUE(MovesOn()) << "running before, running after";

    worker_.TogglePause();
    EXPECT_FALSE(worker_.Confirm(question));
    EXPECT_FALSE(MovesOn()) << "paused before, paused after";
    EXPECT_TRUE(worker_.IsPaused());
    worker_.TogglePause();
    EXPECT_TRUE(MovesOn());

    view_.answers = {MessageAnswer::Yes};
    EXPECT_TRUE(worker_.Confirm(question));
    EXPECT_FALSE(MovesOn()) << "Yes leaves the worker held for the caller to stop";
    worker_.Stop();
    EXPECT_EQ(view_.asked, (std::vector<std::string>{"Stop?", "Stop?", "Stop?"}));
}

TEST_F(WorkerRunTest, EveryRunStartsUnpausedWithTheGateOpen) {
    StartCounting();
    worker_.TogglePause();
    worker_.Stop();
    StartCounting();
    EXPECT_FALSE(worker_.IsPaused());
    EXPECT_TRUE(MovesOn());
    StartCounting();  // a running worker is stopped and joined first
    EXPECT_TRUE(MovesOn());
}

}  // namespace
}  // namespace tessaly
