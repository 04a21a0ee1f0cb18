#include "workflow/StepMessages.h"

#include "app/Settings.h"

namespace tessaly {

Message PreviewBackQuestion() {
    return {"Do you want to go to previous step ?", AppTitle, MessageIcon::Question, MessageButtons::YesNo, true};
}

Message SkipPreviewNotice() {
    return {"Analysis completed, click on save all button to continue", BoxTitle, MessageIcon::Information,
            MessageButtons::Ok, true};
}

Message CompletionEscapeQuestion() {
    return {" Saving Process is in running, Do you want to exit ? ", BoxTitle, MessageIcon::Question,
            MessageButtons::YesNo, true};
}

}  // namespace tessaly
