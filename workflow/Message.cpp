#include "workflow/Message.h"

#include "app/Settings.h"

namespace tessaly {

Message Notice(const char* text, const char* caption) {
    return {text, caption, MessageIcon::Information, MessageButtons::Ok, true};
}

Message Question(const char* text, const char* caption) {
    return {text, caption, MessageIcon::Question, MessageButtons::YesNo, true};
}

Message FileAlreadyOpenMessage() {
    return {"File is already open ,Please close the file", AppTitle, MessageIcon::Question, MessageButtons::Ok, true};
}

Message HighlyCorruptedMessage() {
    return Notice("File is highly corrupted or version not supported.Recovery not possible.", BoxTitle);
}

Message AnalysisStopQuestion() { return Question("Do you want to Stop the analysis process ", AppTitle); }
Message AnalysisExitQuestion() { return Question("Do you want to exit ? ", AppTitle); }

Message SavingStopQuestion() { return Question("Saving is in Process,Do you want to Stop?", AppTitle); }
Message SavingCloseQuestion() { return Question("Saving is in Process,Do you want to exit?", AppTitle); }
Message SavingEscapeQuestion() { return Question("Saving is in process, Do you want to exit ? ", AppTitle); }
Message SavingAbortedNotice() { return Notice("Saving aborted by user.", AppTitle); }

Message DestinationMissingMessage() {
    return Notice("Saving path doesn't exist, select another path for saving ", BoxTitle);
}

}  // namespace tessaly
