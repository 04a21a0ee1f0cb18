// The message boxes of the repair workflow: every text, caption and style
// is fixed here, and the views only show them and hand back the answer.
#pragma once

#include <string>

namespace tessaly {

enum class MessageIcon { Information, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;
    bool systemModal = true;
};

// The two usual kinds, system-modal: a notice with the information icon and
// OK, a question with the question icon and Yes/No.
Message Notice(const char* text, const char* caption);
Message Question(const char* text, const char* caption);

// The analysis.
Message FileAlreadyOpenMessage();  // the source cannot be opened
Message HighlyCorruptedMessage();  // no local header anywhere in the file
Message AnalysisStopQuestion();    // Stop (and the close box)
Message AnalysisExitQuestion();    // Escape

// Saving.
Message SavingStopQuestion();    // Stop
Message SavingCloseQuestion();   // the close box
Message SavingEscapeQuestion();  // Escape
Message SavingAbortedNotice();   // after Stop was confirmed

// Choosing a destination.
Message DestinationMissingMessage();

}  // namespace tessaly
