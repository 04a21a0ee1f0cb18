// The wizard's own dialogs run modally in its tests; only a real message box
// (a message that went past the test's answerer) is unexpected.
#include <wx/dialog.h>

#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/PasswordDialog.h"
#include "workflow/dialogs/ProgressBar.h"
#include "workflow/dialogs/ViewLog.h"

namespace tessaly::test {
extern bool (*g_isExpectedModal)(wxDialog*);
}

namespace {

bool IsWizardDialog(wxDialog* dialog) {
    return dynamic_cast<tessaly::CProgressBar*>(dialog) != nullptr ||
           dynamic_cast<tessaly::CFileSave*>(dialog) != nullptr ||
           dynamic_cast<tessaly::CViewLog*>(dialog) != nullptr ||
           dynamic_cast<tessaly::CPasswordDialog*>(dialog) != nullptr;
}

const bool kRegistered = (tessaly::test::g_isExpectedModal = IsWizardDialog, true);

}  // namespace
