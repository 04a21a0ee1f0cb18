#include "workflow/MenuMessages.h"

#include "core/Settings.h"

namespace tessaly {

Message AnotherInstanceMessage() { return Notice("Another instance of program is already running", BoxTitle); }

Message SelectFileToRemoveMessage() { return Notice("Please select any file to remove", BoxTitle); }
Message ClearSelectedQuestion() { return Question("Do you want to clear the selected file?", BoxTitle); }
Message ClearAllQuestion() { return Question("Do you want to clear all files ?", AppTitle); }
Message NoFilesSelectedMessage() { return Notice("No files selected, Kindly select a file", AppTitle); }

Message MainExitQuestion() { return Question("Do you want to exit?", AppTitle); }
Message MainEscapeQuestion() { return Question("Do you want to exit ? ", BoxTitle); }

Message PreviewMenuExitQuestion() { return Question("Do you want to exit?            ", BoxTitle); }
Message PreviewCloseQuestion() { return Question("Do you want to exit?        ", AppTitle); }
Message PreviewEscapeQuestion() { return Question("Do you want to exit ?        ", BoxTitle); }

Message ClearLogQuestion() { return Question("Do you want to clear Log File?", BoxTitle); }

}  // namespace tessaly
