// The preview: one selected archive at a time with the entries its analysis
// lists (or, with Skip Preview on, only Save All), over the picture
// "preview.bmp" and with its own copy of the main menu. Next File and Back
// File analyse the neighbouring archive afresh; Save Current File and Save
// All ask for a destination and run the saving dialog; File > Save Repaired
// Archive… asks for a file and writes the shown archive's entries into a new
// archive under the saving dialog, then says how it went; Back returns to
// the main dialog after a question. Exit, Escape and the close box end the
// process after their question. Enter and right clicks do nothing.
//
// Constructed without a parent and run with ShowModal(); it works on the
// job and runs of the services it is given, and hands them on to the
// analysis, saving and completion dialogs it opens.
#pragma once

#include <string>

#include "ui/skin/SkinnedMenuDialog.h"
#include "workflow/Message.h"
#include "workflow/dialogs/WizardServices.h"

class wxButton;
class wxStaticText;

namespace tessaly {

class CEntryList;
class CRepairJob;
class CTransparentStatic;

enum PreviewId {
    IDC_PREVIEW_LIST = 1000,
    IDC_PREVIEW_NUMBER = 1012,
    IDC_PREVIEW_BACK_FILE = 1013,
    IDC_PREVIEW_NEXT_FILE = 1014,
    IDC_PREVIEW_BACK = 1015,
    IDC_PREVIEW_SAVE_ALL = 1016,
    IDC_PREVIEW_SAVE_CURRENT = 1017,
    IDC_PREVIEW_TOTAL = 1033,
    IDC_PREVIEW_SLASH = 1036,
    IDC_PREVIEW_PATH = 1037,
    IDC_PREVIEW_SHOWN = 1043,
    IDC_PREVIEW_PATH_LABEL = 1044,
    IDC_PREVIEW_SHOWN_LABEL = 1045,
};

class CPreview : public CSkinnedMenuDialog {
public:
    // `services` (copied; its parts are not owned) must have every part.
    explicit CPreview(const WizardServices& services);

    CEntryList* EntryList() const { return m_pList; }
    // True while nothing is due on the next paint (analysis or notice).
    bool IsIdle() const { return !m_bRunAnalysisOnPaint && !m_bShowSkipNotice && !m_bBusy; }

protected:
    void OnEscape() override;
    void OnHelpKey() override;
    void OnCloseBox() override;
    bool OnKey(wxKeyEvent& event) override;

private:
    void CreateControls();
    void SwallowRightClicks();
    void InitialiseState();
    void OnPaint(wxPaintEvent& event);
    void RunDueStep();
    void RunAnalysis();
    void ShowArchive(int number);
    void UpdateNavigation();
    void UpdateSaveButtons();
    void OnNextFile(wxCommandEvent& event);
    void OnBackFile(wxCommandEvent& event);
    void OnBack(wxCommandEvent& event);
    void OnSaveCurrent(wxCommandEvent& event);
    void OnSaveAll(wxCommandEvent& event);
    void OnSaveRepaired(wxCommandEvent& event);
    void OnMenuExit(wxCommandEvent& event);
    void OnClearLog(wxCommandEvent& event);
    bool ChooseDestination(std::string& destination);
    void RunSaving(bool hide);
    std::string ChooseRepairedArchive(const std::string& archive);
    void RunRepairing(const std::string& archive, const std::string& output);
    void EndProcessOnYes(const Message& question);
    void EnableButton(int id, bool enable);

    WizardServices m_services;
    CRepairJob& m_job;
    CEntryList* m_pList = nullptr;
    CTransparentStatic* m_pPath = nullptr;
    CTransparentStatic* m_pNumber = nullptr;
    CTransparentStatic* m_pShown = nullptr;
    wxStaticText* m_pTotal = nullptr;
    bool m_bRunAnalysisOnPaint = false;
    bool m_bShowSkipNotice = false;
    bool m_bDueScheduled = false;
    bool m_bBusy = false;
};

}  // namespace tessaly
