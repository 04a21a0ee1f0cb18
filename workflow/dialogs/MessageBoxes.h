// Shows the workflow's fixed messages as message boxes: caption, icon and
// buttons come from the Message; the box is modal above every window of the
// program. Interface thread only. Off Windows the box is the toolkit's
// generic one, which shows its icon (GTK's own shows none).
//
// The wizard's dialogs show messages through their services
// (WizardServices.h), which tests give an answerer that records the message
// and answers at once, so a run through the real dialogs needs no person.
#pragma once

#include "workflow/Message.h"

class wxWindow;

namespace tessaly {

// Shows `message` and returns the button pressed. `parent` may be null: the
// box then belongs to the program.
MessageAnswer ShowMessageBox(wxWindow* parent, const Message& message);

}  // namespace tessaly
