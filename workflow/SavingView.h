// What saving shows, as its worker and its buttons drive it. The saving
// dialog implements it by forwarding each call to the interface thread, in
// order; tests implement it with a recorder.
//
// Calls come from the worker thread and the interface thread, possibly at
// the same time; forwarding each to the interface thread keeps them in
// order there. Worker-thread calls must not wait for the interface thread
// (they run inside the worker's gate, see WorkerGate.h). ShowMessage waits
// for the answer and is called on the interface thread only.
#pragma once

#include <string>

#include "workflow/Message.h"

namespace tessaly {

class ISavingView {
public:
    virtual ~ISavingView() = default;

    // Worker thread.
    virtual void SetCurrentProgress(int percent) = 0;           // "Current Progress", 0..100
    virtual void SetOverallProgress(int percent) = 0;           // "Overall Progress", 0..100
    virtual void SetFileName(const std::string& text) = 0;      // after "File Name  :"
    virtual void SetFileNumber(const std::string& text) = 0;    // after "File Count :"
    virtual void SetFileTotal(const std::string& text) = 0;     // after the "/"
    virtual void SetOutputFolder(const std::string& text) = 0;  // after "File Path   :"
    virtual void SavingFinished() = 0;                          // the dialog goes on (CSavingRun::AfterFinished)

    // Interface thread.
    virtual void SetPauseText(const std::string& text) = 0;  // "Pause" or "Resume"
    virtual MessageAnswer ShowMessage(const Message& message) = 0;
};

}  // namespace tessaly
