#include "workflow/Message.h"

#include "core/Settings.h"

namespace tessaly {

Message Notice(const char* text, const char* caption) {
    return {text, caption, MessageIcon::Information, MessageButtons::Ok, true};
}

Message Question(const char* text, const char* caption) {
    return {text, caption, MessageIcon::Question, MessageButtons::YesNo, true};
}

Message Warning(const std::string& text, const char* caption) {
    return {text, caption, MessageIcon::Warning, MessageButtons::Ok, true};
}

Message FileAlreadyOpenMessage() {
    return {"File is already open ,Please close the file", AppTitle, MessageIcon::Question, MessageButtons::Ok, true};
}

Message CannotOpenSourceMessage(const std::string& reason) {
    return Warning("The file cannot be opened: " + reason, AppTitle);
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

Message RepairRefusedMessage(const std::string& reason) {
    return Warning("The repaired archive cannot be saved there: " + reason + ". Choose another file.", BoxTitle);
}

Message RepairingStopQuestion() {
    return Question("Saving the repaired archive is in process, Do you want to Stop? Nothing will be saved.", AppTitle);
}

Message DestinationMissingMessage() {
    return Notice("Saving path doesn't exist, select another path for saving ", BoxTitle);
}

Message DestinationNotWritableMessage(const std::string& reason) {
    return Warning("Files cannot be saved in this folder: " + reason + ". Select another path for saving.", BoxTitle);
}

}  // namespace tessaly
