// What saving shows, as its worker and its buttons drive it. The saving
// dialog implements it by forwarding each call to the interface thread, in
// order; tests implement it with a recorder.
//
// Calls come from the worker thread and the interface thread, possibly at
// the same time; forwarding each to the interface thread keeps them in
// order there. Worker-thread calls must not wait for the interface thread
// (they run inside the worker's gate, see WorkerGate.h). ShowMessage waits
// for the answer and is called on the interface thread only. AskPassword
// is called on a worker thread outside the gate and does not wait.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "workflow/WorkerView.h"

namespace tessaly {

class ISavingView : public IWorkerView {
public:
    // Worker thread.
    virtual void SetCurrentProgress(int percent) = 0;           // "Current Progress", 0..100
    virtual void SetOverallProgress(int percent) = 0;           // "Overall Progress", 0..100
    virtual void SetFileName(const std::string& text) = 0;      // after "File Name  :"
    virtual void SetFileNumber(const std::string& text) = 0;    // after "File Count :"
    virtual void SetFileTotal(const std::string& text) = 0;     // after the "/"
    virtual void SetOutputFolder(const std::string& text) = 0;  // after "File Path   :"
    virtual void SavingFinished() = 0;                          // the dialog goes on (CSavingRun::AfterFinished)

    // Any thread of the run, outside the gate. Asks for the password of the
    // archive whose file name is `archiveName` and returns at once; `answer`
    // is called once with the password, or with nothing to skip the
    // archive's encrypted entries. A view that cannot ask answers nothing.
    using PasswordAnswer = std::function<void(std::optional<std::string>)>;
    virtual void AskPassword(const std::string& archiveName, PasswordAnswer answer) {
        (void)archiveName;
        answer(std::nullopt);
    }

    // SetPauseText and ShowMessage (IWorkerView): interface thread.
};

}  // namespace tessaly
