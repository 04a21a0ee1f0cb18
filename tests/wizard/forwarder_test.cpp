// The forwarder that carries the workers' view calls to the interface
// thread: order, batching, closing, and questions from a worker.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/event.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "workflow/dialogs/ViewForwarder.h"

namespace tessaly::testwizard {
namespace {

// Handles events until `done` holds or `timeoutMs` passes.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < end) {
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

void PumpFor(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

class ForwarderTest : public ::testing::Test {
protected:
    wxEvtHandler m_target;
    std::vector<int> m_seen;
    int m_batches = 0;
    CViewForwarder m_forwarder{m_target, [this] { ++m_batches; }};
};

TEST_F(ForwarderTest, StepsFromAWorkerArriveInOrderInFewerBatchesThanSteps) {
    constexpr int kSteps = 20000;
    std::thread worker([this] {
        for (int i = 0; i < kSteps; ++i) m_forwarder.Post([this, i] { m_seen.push_back(i); });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([this] { return m_seen.size() == kSteps; }));
    for (int i = 0; i < kSteps; ++i) ASSERT_EQ(m_seen[i], i);
    EXPECT_GE(m_batches, 1);
    EXPECT_LT(m_batches, kSteps / 10);
}

TEST_F(ForwarderTest, AfterCloseNothingQueuedOrLaterRuns) {
    m_forwarder.Post([this] { m_seen.push_back(1); });
    m_forwarder.Close();
    m_forwarder.Post([this] { m_seen.push_back(2); });
    PumpFor(100);
    EXPECT_TRUE(m_seen.empty());
    EXPECT_EQ(m_batches, 0);

    m_forwarder.Open();
    m_forwarder.Post([this] { m_seen.push_back(3); });
    ASSERT_TRUE(PumpUntil([this] { return !m_seen.empty(); }));
    EXPECT_EQ(m_seen, std::vector<int>{3});
}

TEST_F(ForwarderTest, AStepThatClosesDropsTheRestOfItsBatch) {
    m_forwarder.Post([this] {
        m_seen.push_back(1);
        m_forwarder.Close();
    });
    m_forwarder.Post([this] { m_seen.push_back(2); });
    PumpFor(100);
    EXPECT_EQ(m_seen, std::vector<int>{1});
    EXPECT_EQ(m_batches, 0);
}

TEST_F(ForwarderTest, AWorkersQuestionIsAskedOnTheInterfaceThread) {
    std::atomic<bool> askedOnMain{false};
    auto answer = std::async(std::launch::async, [&] {
        return m_forwarder.Ask(
            [&] {
                askedOnMain = wxThread::IsMain();
                return MessageAnswer::No;
            },
            MessageAnswer::Ok);
    });
    ASSERT_TRUE(PumpUntil([&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(answer.get(), MessageAnswer::No);
    EXPECT_TRUE(askedOnMain);
}

// The interface thread about to join a worker that waits for an answer
// must be able to release it without running the queued question.
TEST_F(ForwarderTest, CancelledQuestionsReleaseAWaitingWorkerWithTheFallback) {
    std::atomic<bool> asked{false};
    std::promise<void> waiting;
    std::thread worker([&] {
        waiting.set_value();
        const MessageAnswer answer = m_forwarder.Ask(
            [&] {
                asked = true;
                return MessageAnswer::Yes;
            },
            MessageAnswer::Ok);
        EXPECT_EQ(answer, MessageAnswer::Ok);
    });
    waiting.get_future().wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    m_forwarder.CancelQuestions();
    worker.join();  // would hang if the worker were not released
    m_forwarder.Close();
    PumpFor(100);
    EXPECT_FALSE(asked);
}

}  // namespace
}  // namespace tessaly::testwizard
