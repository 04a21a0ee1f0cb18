// What the analysis shows, as its worker and its buttons drive it. The
// analysis dialog implements it by forwarding each call to the interface
// thread, in order; tests implement it with a recorder.
//
// Calls come from the worker thread and the interface thread, possibly at
// the same time; forwarding each to the interface thread keeps them in
// order there. Worker-thread calls must not wait for the interface thread
// (they run inside the worker's gate, see WorkerGate.h). ShowMessage waits
// for the answer; the worker uses it only for notices.
#pragma once

#include <string>

#include "workflow/EntryFormat.h"
#include "workflow/WorkerView.h"

namespace tessaly {

class IAnalysisView : public IWorkerView {
public:
    // Worker thread.
    virtual void SetProgress(int percent) = 0;  // the percentage bar, 0..100
    virtual void ClearRows() = 0;               // the preview's entry list
    virtual void InsertRow(int position, const EntryRow& row) = 0;
    virtual void SetShownCount(const std::string& text) = 0;  // "Number Of Files Extracted"
    virtual void AnalysisFinished() = 0;                      // the dialog closes itself

    // SetPauseText (IWorkerView): interface thread. ShowMessage: either
    // thread.
};

}  // namespace tessaly
