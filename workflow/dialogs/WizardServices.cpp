#include "workflow/dialogs/WizardServices.h"

#include "app/EndProcess.h"
#include "workflow/AnalysisRun.h"
#include "workflow/RepairJob.h"
#include "workflow/SavingRun.h"

namespace tessaly {
namespace {

const WizardServices*& Installed() {
    static const WizardServices* installed = nullptr;
    return installed;
}

const WizardServices& ProcessServices() {
    static const WizardServices services{&ProcessRepairJob(), &ProcessAnalysisRun(), &ProcessSavingRun(),
                                         [] { EndProcess(); }};
    return services;
}

}  // namespace

const WizardServices& Wizard() { return Installed() ? *Installed() : ProcessServices(); }

void SetWizardServices(const WizardServices* services) { Installed() = services; }

}  // namespace tessaly
