#include "app/main/PreviewStep.h"

#include "workflow/dialogs/Preview.h"

namespace tessaly {

void RunPreviewStep(const WizardServices& wizard) {
    CPreview preview(wizard);
    preview.ShowModal();
}

}  // namespace tessaly
