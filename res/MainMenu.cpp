#include "res/MainMenu.h"

#include <wx/menu.h>

namespace tessaly {

wxMenuBar* CreateMainMenuBar() {
    auto* file = new wxMenu;
    file->Append(ID_FILE_SELECT, "Select File");
    file->Append(ID_FILE_SAVE_CURRENT, "Save Current File");
    file->Append(ID_FILE_SAVE_ALL, "Save All");
    file->Append(ID_FILE_EXIT, "Exit");

    auto* repairMode = new wxMenu;
    repairMode->Append(ID_MODE_QUICK, "Quick Repair");
    repairMode->Append(ID_MODE_ADVANCE, "Advance Repair");

    auto* option = new wxMenu;
    option->AppendSubMenu(repairMode, "Repair Mode");
    option->Append(ID_OPTION_SKIP_PREVIEW, "Skip Preview");
    option->Append(ID_OPTION_VIEW_LOG, "View Log");
    option->Append(ID_OPTION_CLEAR_LOG, "Clear Log");

    auto* help = new wxMenu;
    help->Append(ID_HELP_ABOUT, "About Us ");
    help->Append(ID_HELP_CONTENTS, "Contents");

    auto* bar = new wxMenuBar;
    bar->Append(file, "File");
    bar->Append(option, "Option");
    bar->Append(help, "Help");
    return bar;
}

wxMenuBar* CreatePreviewMenuBar() {
    wxMenuBar* bar = CreateMainMenuBar();
    wxMenu* file = bar->GetMenu(0);
    size_t saveAll = 0;
    file->FindChildItem(ID_FILE_SAVE_ALL, &saveAll);
    file->Insert(saveAll + 1, ID_FILE_SAVE_REPAIRED, wxString::FromUTF8("Save Repaired Archive\xE2\x80\xA6"));
    return bar;
}

}  // namespace tessaly
