// The state of one repair job that passes between its steps: the selected
// archives, the Skip Preview choice, the archive the preview shows, and the
// save request. The workers' own working state lives with each worker
// (AnalysisRun.h, SavingRun.h).
//
// Written on the interface thread only, and only while no worker runs (a
// worker reads it after it was started). The program's root owns the one
// job of a wizard and hands it to the dialogs and runs that work on it.
#pragma once

#include <string>
#include <vector>

#include "archive/RepairMode.h"

namespace tessaly {

class CRepairJob {
public:
    // Selection. Archive number k (1-based) is path k-1.
    void AppendSourcePath(const std::string& path);
    void ClearSourcePaths();
    // The path at a 0-based index; empty past the end (or below 0).
    std::string GetSourcePath(int index) const;
    const std::vector<std::string>& SourcePaths() const { return m_sourcePaths; }

    int m_nSourceCount = 0;
    int m_bSkipPreview = 0;
    // The scan strategy every analysis and saving of this job uses; the
    // main dialog follows the user's choice at once.
    RepairMode m_nRepairMode = QuickRepair;

    // The 1-based number of the archive the preview shows; 0 before the
    // first one and while Skip Preview is on.
    int m_nCurrentFile = 0;

    // Save request: only archive m_nCurrentFile, to m_szCurrentFileDest;
    // or every archive, to m_szAllFilesDest.
    int m_bSaveCurrentOnly = 0;
    std::string m_szCurrentFileDest;
    std::string m_szAllFilesDest;
    // The destination the user last chose in this run of the program; the
    // folder picker opens there next time. Empty until one was chosen.
    std::string m_szLastDestination;

private:
    std::vector<std::string> m_sourcePaths;
};

}  // namespace tessaly
