// What the wizard's dialogs work with: the repair job, the analysis and
// saving runs, and the way the process ends. The program's root
// (app/main/WizardRoot.h) owns the parts and hands this set down to the
// dialogs it opens, which pass it on; a test builds a wizard on its own set,
// so that "the process ends" becomes an observable call and the runs start
// clean. Not owned: the parts must outlive every dialog given the set.
#pragma once

#include <functional>

namespace tessaly {

class CAnalysisRun;
class CRepairJob;
class CSavingRun;

struct WizardServices {
    CRepairJob* job = nullptr;
    CAnalysisRun* analysis = nullptr;
    CSavingRun* saving = nullptr;
    std::function<void()> endProcess;  // ends the process (in tests: records it)
};

}  // namespace tessaly
