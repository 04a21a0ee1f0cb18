#include "app/main/WizardRoot.h"

#include <utility>

namespace tessaly {

CWizardRoot::CWizardRoot(ScanState& state, std::function<void()> endProcess)
    : analysis_(job_, state, endProcess),
      saving_(job_, state, endProcess),
      services_{&job_, &analysis_, &saving_, std::move(endProcess)} {}

}  // namespace tessaly
