// The main dialog: the user builds a numbered list of .zip archives, picks
// the repair mode and whether to skip the preview, and presses Repair, which
// fills the repair job, hides this window and runs the preview until it
// comes back. It also owns the menu commands shared with the preview (help,
// About, View Log, Clear Log).
//
// Constructing it shows the splash for a while (paint only, no input), then
// makes the window. The paths in the list's second column are the list's
// only data until Repair copies them into the job. It runs modally; its end
// ends the program (start-up's business, not this class's).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ui/skin/SkinnedMenuDialog.h"
#include "workflow/dialogs/WizardServices.h"

class wxButton;
class wxCheckBox;
class wxListCtrl;
class wxListEvent;
class wxRadioButton;

namespace tessaly {

enum VarrowControlId {
    IDC_FILE_LIST = 1000,
    IDC_BROWSE = 1001,
    IDC_CLEAR_ALL = 1002,
    IDC_SKIP_PREVIEW = 1004,
    IDC_REPAIR = 1005,
    IDC_CLEAR_SELECTED = 1026,
    IDC_QUICK_REPAIR = 1039,
    IDC_ADVANCE_REPAIR = 1040,
};

// How long the splash stays at start-up.
constexpr int kSplashMs = 2500;

class CVarrowDlg : public CSkinnedMenuDialog {
public:
    struct Options {
        std::filesystem::path programFolder;
        int splashMs = kSplashMs;  // 0: no splash
        // The wizard's parts: the job Repair fills (required), the way the
        // program ends at once (required), and the runs the preview uses.
        WizardServices wizard;
        // Runs the next step while this window is hidden; the preview on
        // `wizard` by default.
        std::function<void()> runPreview;
    };

    explicit CVarrowDlg(Options options);

    // Adds archives through Browse's rules (the command line's and drops'
    // way in too).
    void AddArchives(const std::vector<std::string>& paths);
    std::vector<std::string> ListedPaths() const;

    // The commands, as the buttons and menu items run them.
    void Browse();
    void ClearSelected();
    void ClearAll();
    void Repair();
    void SetRepairMode(int mode, bool fromMenu);
    void ToggleSkipPreview();

    void ShowAboutBox();
    void ShowHelpContents();

protected:
    void OnEscape() override;
    void OnHelpKey() override;
    void OnCloseBox() override;
    bool OnKey(wxKeyEvent& event) override;

private:
    void ShowSplash(int milliseconds) const;
    void CreateControls();
    void CreateList();
    void BindCommands();
    void InitDialog();
    void AppendRow(const std::string& path);
    void Renumber();
    void UpdateClearButtons();
    void OnMenuExit();
    void OnClearLog();

    Options m_options;
    CRepairJob& m_job;
    wxListCtrl* m_fileList = nullptr;
    wxButton* m_browse = nullptr;
    wxButton* m_clearSelected = nullptr;
    wxButton* m_clearAll = nullptr;
    wxButton* m_repair = nullptr;
    wxCheckBox* m_skipPreview = nullptr;
    wxRadioButton* m_quickRepair = nullptr;
    wxRadioButton* m_advanceRepair = nullptr;
};

}  // namespace tessaly
