// What every worker's view has, whatever else it shows: the Pause button's
// text and the messages its worker or its buttons put to the user. The
// analysis and saving views (AnalysisView.h, SavingView.h) add their bars,
// rows and labels.
#pragma once

#include <string>

#include "workflow/Message.h"

namespace tessaly {

class IWorkerView {
public:
    virtual ~IWorkerView() = default;

    // Interface thread.
    virtual void SetPauseText(const std::string& text) = 0;  // "Pause" or "Resume"

    // Returns the user's answer; which threads call it, each view says.
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
};

}  // namespace tessaly
