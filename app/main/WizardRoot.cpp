#include "app/main/WizardRoot.h"

#include <utility>

namespace tessaly {

// The user is asked through the toolkit's own message boxes, pickers and
// password dialog (the services' defaults).
CWizardRoot::CWizardRoot(std::function<void()> endProcess)
    : analysis_(job_, endProcess), saving_(job_, endProcess), repairing_(job_) {
    services_.job = &job_;
    services_.analysis = &analysis_;
    services_.saving = &saving_;
    services_.repairing = &repairing_;
    services_.endProcess = std::move(endProcess);
}

}  // namespace tessaly
