#include "workflow/dialogs/WizardServices.h"

#include "ui/shell/Pickers.h"
#include "workflow/dialogs/MessageBoxes.h"
#include "workflow/dialogs/PasswordDialog.h"

namespace tessaly {

MessageAnswer WizardServices::ShowMessage(wxWindow* parent, const Message& message) const {
    return showMessage ? showMessage(parent, message) : ShowMessageBox(parent, message);
}

IPickers& WizardServices::Pickers() const { return pickers ? *pickers : ToolkitPickers(); }

std::optional<std::string> WizardServices::AskPassword(wxWindow* parent, const std::string& archiveName) const {
    return askPassword ? askPassword(parent, archiveName) : AskPasswordFor(parent, archiveName);
}

}  // namespace tessaly
