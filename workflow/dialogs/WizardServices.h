// What the wizard's dialogs work with: the repair job, the analysis and
// saving runs, and the way the process ends. The running program uses the
// process-wide ones; a test installs its own set, so that "the process
// ends" becomes an observable call and the runs start clean.
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

// The services in use: the installed set, else the process-wide one.
const WizardServices& Wizard();
// Installs `services` (not copied: it must outlive its use); nullptr
// restores the process-wide set.
void SetWizardServices(const WizardServices* services);

}  // namespace tessaly
