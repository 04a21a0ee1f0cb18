#include "workflow/SavingPasswords.h"

#include <algorithm>
#include <utility>

#include "platform/FileSystem.h"
#include "workflow/SavingView.h"
#include "workflow/WorkerGate.h"

namespace tessaly {

namespace {

// Overwrites a password before its memory is given back.
void Wipe(std::optional<std::string>& password) {
    if (!password) return;
    std::fill(password->begin(), password->end(), '\0');
    password.reset();
}

}  // namespace

CSavingPasswords::CSavingPasswords(CWorkerGate& gate) : gate_(gate) {}

void CSavingPasswords::Begin(ISavingView& view) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    for (auto& [key, question] : state_->questions) Wipe(question.password);
    state_->questions.clear();
    state_->view = &view;
    state_->cancelled = false;
    ++state_->run;
}

void CSavingPasswords::Cancel() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->cancelled = true;
    }
    state_->changed.notify_all();
}

void CSavingPasswords::Forget() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        for (auto& [key, question] : state_->questions) Wipe(question.password);
        state_->questions.clear();
        state_->view = nullptr;
        ++state_->run;  // answers still on their way belong to no run
    }
    state_->changed.notify_all();
}

std::optional<std::string> CSavingPasswords::PasswordFor(const std::filesystem::path& archive, const std::string&) {
    // Paused: the question waits like every other step; stopped: nothing
    // more is asked.
    if (!gate_.Pass()) return std::nullopt;
    const std::string key = Key(archive);
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (state_->cancelled || state_->view == nullptr) return std::nullopt;
    const unsigned run = state_->run;
    if (!state_->questions[key].asked) {
        state_->questions[key].asked = true;
        ISavingView* view = state_->view;
        lock.unlock();
        view->AskPassword(PathToUtf8(archive.filename()),
                          [state = state_, run, key](std::optional<std::string> password) {
                              Store(*state, run, key, std::move(password));
                          });
        lock.lock();
    }
    state_->changed.wait(lock,
                         [&] { return state_->cancelled || state_->run != run || state_->questions[key].answered; });
    if (state_->cancelled || state_->run != run) return std::nullopt;
    return state_->questions[key].password;
}

bool CSavingPasswords::PasswordGiven(const std::filesystem::path& archive) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    const auto found = state_->questions.find(Key(archive));
    return found != state_->questions.end() && found->second.answered && found->second.password.has_value();
}

// One spelling per archive, so that every thread's question about it is one.
std::string CSavingPasswords::Key(const std::filesystem::path& archive) {
    return PathToUtf8(archive.lexically_normal());
}

void CSavingPasswords::Store(State& state, unsigned run, const std::string& key, std::optional<std::string> password) {
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.run != run) {
            Wipe(password);
            return;
        }
        Question& question = state.questions[key];
        question.password = std::move(password);
        question.answered = true;
    }
    state.changed.notify_all();
}

}  // namespace tessaly
