#include "app/main/PreviewStep.h"

#include "workflow/dialogs/Preview.h"

namespace tessaly {

void RunPreviewStep() {
    CPreview preview;
    preview.ShowModal();
}

}  // namespace tessaly
