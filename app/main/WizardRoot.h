// The wizard's parts for one run of the program: the repair job, the
// analysis and saving runs on it, the run that saves a repaired archive,
// and the services through which the dialogs reach them. The application
// object owns one and hands Services() to the main dialog, which hands them
// on; nothing else in the program holds these parts.
//
// The root is made before any worker runs and outlives every dialog.
#pragma once

#include <functional>

#include "workflow/AnalysisRun.h"
#include "workflow/RepairJob.h"
#include "workflow/RepairingRun.h"
#include "workflow/SavingRun.h"
#include "workflow/dialogs/WizardServices.h"

namespace tessaly {

class CWizardRoot {
public:
    // `endProcess` ends the program at once (EndProcess in the program).
    explicit CWizardRoot(std::function<void()> endProcess);
    CWizardRoot(const CWizardRoot&) = delete;
    CWizardRoot& operator=(const CWizardRoot&) = delete;

    const WizardServices& Services() const { return services_; }

private:
    CRepairJob job_;
    CAnalysisRun analysis_;
    CSavingRun saving_;
    CRepairingRun repairing_;
    WizardServices services_;
};

}  // namespace tessaly
