// Views that record what the workers show, for tests: every call becomes
// one event text ("bar 33", "row 0 Photo.jpg", "message <text>"), in order.
// Questions are answered from a script.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workflow/AnalysisView.h"
#include "workflow/SavingView.h"

namespace tessaly::testflow {

class EventRecorder {
public:
    void Add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
        changed_.notify_all();
    }
    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // The numbers of the events starting with `prefix` + " ".
    std::vector<int> Values(const std::string& prefix) const;
    // Events with `prefix`, prefix removed.
    std::vector<std::string> Texts(const std::string& prefix) const;
    bool Has(const std::string& event) const;
    bool WaitFor(const std::string& event, std::chrono::seconds patience = std::chrono::seconds(30));
    std::size_t Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_.size();
    }

    // Answers for ShowMessage in order; Ok (or No for questions) once used up.
    void ScriptAnswers(std::deque<MessageAnswer> answers) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_ = std::move(answers);
    }
    MessageAnswer Answer(const Message& message);
    std::vector<Message> Messages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::deque<MessageAnswer> answers_;
    std::vector<Message> messages_;
};

class AnalysisRecorder : public IAnalysisView, public EventRecorder {
public:
    void SetProgress(int percent) override { Add("bar " + std::to_string(percent)); }
    void ClearRows() override { Add("clear"); }
    void InsertRow(int position, const EntryRow& row) override {
        {
            std::lock_guard<std::mutex> lock(rowsMutex_);
            rows_.push_back(row);
        }
        Add("row " + std::to_string(position) + " " + row.name);
    }
    void SetShownCount(const std::string& text) override { Add("count " + text); }
    void AnalysisFinished() override { Add("finished"); }
    void SetPauseText(const std::string& text) override { Add("pause-text " + text); }
    MessageAnswer ShowMessage(const Message& message) override { return Answer(message); }

    std::vector<EntryRow> Rows() const {
        std::lock_guard<std::mutex> lock(rowsMutex_);
        return rows_;
    }

private:
    mutable std::mutex rowsMutex_;
    std::vector<EntryRow> rows_;
};

class SavingRecorder : public ISavingView, public EventRecorder {
public:
    void SetCurrentProgress(int percent) override { Add("current " + std::to_string(percent)); }
    void SetOverallProgress(int percent) override { Add("overall " + std::to_string(percent)); }
    void SetFileName(const std::string& text) override { Add("name " + text); }
    void SetFileNumber(const std::string& text) override { Add("number " + text); }
    void SetFileTotal(const std::string& text) override { Add("total " + text); }
    void SetOutputFolder(const std::string& text) override { Add("folder " + text); }
    void SavingFinished() override { Add("finished"); }
    void SetPauseText(const std::string& text) override { Add("pause-text " + text); }
    MessageAnswer ShowMessage(const Message& message) override { return Answer(message); }
    // "password <archive name>"; answered at once with `password`, or held
    // for the test to answer (AnswerHeld) when `holdPasswords` is set.
    void AskPassword(const std::string& archiveName, PasswordAnswer answer) override {
        Add("password " + archiveName);
        if (!holdPasswords) {
            answer(password);
            return;
        }
        std::lock_guard<std::mutex> lock(heldMutex_);
        held_.emplace_back(archiveName, std::move(answer));
    }
    // Answers every held question with what `reply` gives for its archive
    // name; how many there were.
    std::size_t AnswerHeld(const std::function<std::optional<std::string>(const std::string&)>& reply) {
        std::vector<std::pair<std::string, PasswordAnswer>> held;
        {
            std::lock_guard<std::mutex> lock(heldMutex_);
            held.swap(held_);
        }
        for (auto& [name, answer] : held) answer(reply(name));
        return held.size();
    }

    std::atomic<bool> holdPasswords{false};
    std::optional<std::string> password;

private:
    std::mutex heldMutex_;
    std::vector<std::pair<std::string, PasswordAnswer>> held_;
};

}  // namespace tessaly::testflow
