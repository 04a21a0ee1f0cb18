// Menu 135: the menu bar of the main dialog, of which the preview carries
// its own copy.
#pragma once

class wxMenuBar;

namespace tessaly {

// The menu's own command numbers run from 32771 to 32792; the toolkit takes
// ids below 32767 only, so each id here is its command number less 16384.
constexpr int kMenuCommandOffset = 16384;

enum MainMenuCommand {
    ID_FILE_SELECT = 32771 - kMenuCommandOffset,
    ID_FILE_SAVE_CURRENT = 32775 - kMenuCommandOffset,
    ID_FILE_SAVE_ALL = 32776 - kMenuCommandOffset,
    ID_FILE_EXIT = 32777 - kMenuCommandOffset,
    ID_OPTION_SKIP_PREVIEW = 32778 - kMenuCommandOffset,
    ID_OPTION_VIEW_LOG = 32779 - kMenuCommandOffset,
    ID_HELP_ABOUT = 32785 - kMenuCommandOffset,
    ID_HELP_CONTENTS = 32786 - kMenuCommandOffset,
    ID_OPTION_CLEAR_LOG = 32788 - kMenuCommandOffset,
    ID_MODE_QUICK = 32790 - kMenuCommandOffset,
    ID_MODE_ADVANCE = 32791 - kMenuCommandOffset,
    ID_FILE_SAVE_REPAIRED = 32792 - kMenuCommandOffset,  // the preview's menu only
};

// A new menu bar, every item enabled and unchecked: File (Select File, Save
// Current File, Save All, Exit), Option (Repair Mode > Quick Repair /
// Advance Repair, Skip Preview, View Log, Clear Log), Help (About Us,
// Contents). The caller owns it (a frame takes it over in SetMenuBar).
wxMenuBar* CreateMainMenuBar();

// The preview's copy: the main menu bar with Save Repaired Archive… after
// Save All in File.
wxMenuBar* CreatePreviewMenuBar();

}  // namespace tessaly
