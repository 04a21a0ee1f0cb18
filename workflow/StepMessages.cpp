#include "workflow/StepMessages.h"

#include "core/Settings.h"

namespace tessaly {

Message PreviewBackQuestion() { return Question("Do you want to go to previous step ?", AppTitle); }

Message SkipPreviewNotice() { return Notice("Analysis completed, click on save all button to continue", BoxTitle); }

Message CompletionEscapeQuestion() {
    return Question(" Saving Process is in running, Do you want to exit ? ", BoxTitle);
}

}  // namespace tessaly
