// The message boxes of the preview's own steps and of the completion step:
// every text, caption and style fixed here, as in Message.h.
#pragma once

#include "workflow/Message.h"

namespace tessaly {

Message PreviewBackQuestion();       // Back to the previous step
Message SkipPreviewNotice();         // the preview's first paint with Skip Preview on
Message CompletionEscapeQuestion();  // Escape in the completion dialog

}  // namespace tessaly
