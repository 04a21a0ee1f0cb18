// The message boxes of the repair workflow: every text, caption and style
// is fixed here, and the views only show them and hand back the answer.
#pragma once

#include <string>

namespace tessaly {

enum class MessageIcon { Information, Question, Warning };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;
    bool systemModal = true;
};

// The usual kinds, system-modal: a notice with the information icon and
// OK, a question with the question icon and Yes/No, a warning (something
// the user asked for cannot be done, and why) with the warning icon and OK.
Message Notice(const char* text, const char* caption);
Message Question(const char* text, const char* caption);
Message Warning(const std::string& text, const char* caption);

// The analysis.
Message FileAlreadyOpenMessage();  // another program holds the source
// The source cannot be opened for another reason: the system's (`reason`).
Message CannotOpenSourceMessage(const std::string& reason);
Message HighlyCorruptedMessage();  // no local header anywhere in the file
Message AnalysisStopQuestion();    // Stop (and the close box)
Message AnalysisExitQuestion();    // Escape

// Saving.
Message SavingStopQuestion();    // Stop
Message SavingCloseQuestion();   // the close box
Message SavingEscapeQuestion();  // Escape
Message SavingAbortedNotice();   // after Stop was confirmed

// Saving a repaired archive.
// The chosen file cannot take the repaired archive: RepairRefusal's reason.
Message RepairRefusedMessage(const std::string& reason);
Message RepairingStopQuestion();  // Stop, the close box and Escape

// Choosing a destination.
Message DestinationMissingMessage();
// The picked folder takes no new file: the system's reason.
Message DestinationNotWritableMessage(const std::string& reason);

}  // namespace tessaly
