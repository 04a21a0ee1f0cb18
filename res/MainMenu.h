// Menu 135: the menu bar of the main dialog, of which the preview carries
// its own copy. The command ids are the menu's own.
#pragma once

class wxMenuBar;

namespace tessaly {

enum MainMenuCommand {
    ID_FILE_SELECT = 32771,
    ID_FILE_SAVE_CURRENT = 32775,
    ID_FILE_SAVE_ALL = 32776,
    ID_FILE_EXIT = 32777,
    ID_OPTION_SKIP_PREVIEW = 32778,
    ID_OPTION_VIEW_LOG = 32779,
    ID_HELP_ABOUT = 32785,
    ID_HELP_CONTENTS = 32786,
    ID_OPTION_CLEAR_LOG = 32788,
    ID_MODE_QUICK = 32790,
    ID_MODE_ADVANCE = 32791,
};

// A new menu bar, every item enabled and unchecked: File (Select File, Save
// Current File, Save All, Exit), Option (Repair Mode > Quick Repair /
// Advance Repair, Skip Preview, View Log, Clear Log), Help (About Us,
// Contents). The caller owns it (a frame takes it over in SetMenuBar).
wxMenuBar* CreateMainMenuBar();

}  // namespace tessaly
