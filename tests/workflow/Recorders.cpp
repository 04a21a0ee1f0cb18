#include "tests/workflow/Recorders.h"

namespace tessaly::testflow {

std::vector<int> EventRecorder::Values(const std::string& prefix) const {
    std::vector<int> values;
    for (const auto& text : Texts(prefix)) values.push_back(std::stoi(text));
    return values;
}

std::vector<std::string> EventRecorder::Texts(const std::string& prefix) const {
    std::vector<std::string> texts;
    const std::string lead = prefix + " ";
    for (const auto& event : Events())
        if (event.rfind(lead, 0) == 0) texts.push_back(event.substr(lead.size()));
    return texts;
}

bool EventRecorder::Has(const std::string& event) const {
    for (const auto& e : Events())
        if (e == event) return true;
    return false;
}

bool EventRecorder::WaitFor(const std::string& event, std::chrono::seconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, patience, [&] {
        for (const auto& e : events_)
            if (e == event) return true;
        return false;
    });
}

MessageAnswer EventRecorder::Answer(const Message& message) {
    MessageAnswer answer = message.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(message);
        if (message.buttons == MessageButtons::YesNo && !answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    Add("message " + message.text);
    return answer;
}

}  // namespace tessaly::testflow
