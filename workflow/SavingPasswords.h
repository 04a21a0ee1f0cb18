// Where saving's archive objects get the password for an archive's
// encrypted entries: the saving view asks the user, once per archive per
// saving run, however many threads meet encrypted entries of that archive.
//
// The question runs outside the worker's gate (the view answers from the
// interface thread, which a step inside the gate must never wait for): the
// asking thread first passes the gate, so a paused run asks nothing until it
// is resumed and a stopped one asks nothing at all, then posts the question
// and waits for its answer. Cancel() releases every waiting thread with no
// password, so Stop and the end of the saving dialog never leave a worker
// waiting for an answer that will not come.
//
// Answers are kept for the run only and forgotten when it ends.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "archive/crypto/PasswordSource.h"

namespace tessaly {

class CWorkerGate;
class ISavingView;

class CSavingPasswords : public PasswordSource {
public:
    explicit CSavingPasswords(CWorkerGate& gate);
    CSavingPasswords(const CSavingPasswords&) = delete;
    CSavingPasswords& operator=(const CSavingPasswords&) = delete;

    // Before a run's worker starts: questions go to `view`, nothing is
    // known yet and nothing is cancelled.
    void Begin(ISavingView& view);
    // Any thread: waiting threads get nothing, and so does every later
    // question of this run.
    void Cancel();
    // At the end of a run: the answers are forgotten.
    void Forget();

    // Whether a password was given for `archive` in this run.
    bool PasswordGiven(const std::filesystem::path& archive) const;

    // Any thread of the run (the archive layer's).
    std::optional<std::string> PasswordFor(const std::filesystem::path& archive, const std::string& entryName) override;

private:
    struct Question {
        bool asked = false;
        bool answered = false;
        std::optional<std::string> password;
    };
    // Shared with the answer callbacks the view holds, which may outlive a
    // run (or this object) when the view drops them.
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::map<std::string, Question> questions;  // by archive path
        ISavingView* view = nullptr;
        unsigned run = 0;
        bool cancelled = false;
    };

    static std::string Key(const std::filesystem::path& archive);
    static void Store(State& state, unsigned run, const std::string& key, std::optional<std::string> password);

    CWorkerGate& gate_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace tessaly
