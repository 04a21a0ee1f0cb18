// What the wizard's dialogs work with: the repair job, the analysis and
// saving runs, the run that saves a repaired archive, the way the process
// ends, and how the user is asked things (message boxes, the file and
// folder pickers, the password dialog). The program's root
// (app/main/WizardRoot.h) owns the parts and hands this set down to the
// dialogs it opens, which pass it on. A test builds a wizard on its own
// set, so that "the process ends" becomes an observable call, the questions
// are answered without a person and the runs start clean. The parts are not
// owned: they must outlive every dialog given the set.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "workflow/Message.h"

class wxWindow;

namespace tessaly {

class CAnalysisRun;
class CRepairJob;
class CRepairingRun;
class CSavingRun;
class IPickers;

struct WizardServices {
    using MessageShower = std::function<MessageAnswer(wxWindow* parent, const Message& message)>;
    using PasswordAsker = std::function<std::optional<std::string>(wxWindow* parent, const std::string& archiveName)>;

    CRepairJob* job = nullptr;
    CAnalysisRun* analysis = nullptr;
    CSavingRun* saving = nullptr;
    CRepairingRun* repairing = nullptr;
    std::function<void()> endProcess;  // ends the process (in tests: records it)
    // How the user is asked; each left empty is the toolkit's own.
    IPickers* pickers = nullptr;
    MessageShower showMessage;
    PasswordAsker askPassword;

    // Shows `message` and returns the button pressed (MessageBoxes.h).
    MessageAnswer ShowMessage(wxWindow* parent, const Message& message) const;
    // The file and folder pickers (ui/shell/Pickers.h).
    IPickers& Pickers() const;
    // The password of the archive named `archiveName`, or nothing to skip
    // its encrypted entries (PasswordDialog.h).
    std::optional<std::string> AskPassword(wxWindow* parent, const std::string& archiveName) const;
};

}  // namespace tessaly
