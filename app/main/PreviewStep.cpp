#include "app/main/PreviewStep.h"

#if __has_include("workflow/dialogs/Preview.h")
#include "workflow/dialogs/Preview.h"
#define TESSALY_HAS_PREVIEW 1
#endif

namespace tessaly {

void RunPreviewStep() {
#ifdef TESSALY_HAS_PREVIEW
    CPreview preview;
    preview.ShowModal();
#endif
}

}  // namespace tessaly
