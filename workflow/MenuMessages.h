// The message boxes of the main dialog and of the menu commands the preview
// shares with it: every text, caption and style fixed here, as in Message.h.
#pragma once

#include "workflow/Message.h"

namespace tessaly {

// Start-up.
Message AnotherInstanceMessage();  // a second copy of the program was started

// The main dialog's list.
Message SelectFileToRemoveMessage();  // Clear selected with no row marked
Message ClearSelectedQuestion();      // Clear selected
Message ClearAllQuestion();           // Clear All
Message NoFilesSelectedMessage();     // Repair refused

// Leaving the main dialog.
Message MainExitQuestion();    // menu Exit and the close box
Message MainEscapeQuestion();  // Escape

// Leaving the preview.
Message PreviewMenuExitQuestion();  // menu Exit
Message PreviewCloseQuestion();     // the close box
Message PreviewEscapeQuestion();    // Escape

// Menu Clear Log, in the main dialog and the preview alike.
Message ClearLogQuestion();

}  // namespace tessaly
