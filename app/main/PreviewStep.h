// The step after the main dialog: runs the preview on the wizard's parts
// modally until it comes back (its other ends end the program).
#pragma once

namespace tessaly {

struct WizardServices;

void RunPreviewStep(const WizardServices& wizard);

}  // namespace tessaly
