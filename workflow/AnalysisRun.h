// The analysis of one selected archive for the preview: a worker thread
// looks for a local file header, hands the archive to the archive layer
// (whose scan moves the percentage bar), and lists every entry that saving
// would write as a preview row; the activity log gets the archive's number,
// path and the count listed. Pause, Stop, the close box and Escape act on
// the worker cooperatively, at its next step.
//
// One CAnalysisRun serves a whole wizard (it owns the analysis' archive
// object and installs the scan's analysis progress hook); the program's
// root makes it, and each analysis dialog calls Start with itself as the
// view. Not for saving (SavingRun.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "archive/FileHeader.h"
#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "workflow/AnalysisView.h"
#include "workflow/ProgressMath.h"
#include "workflow/WorkerControls.h"
#include "workflow/WorkerGate.h"
#include "workflow/WorkerRun.h"

namespace tessaly {

class CRepairJob;

class CAnalysisRun : public IWorkerControls {
public:
    explicit CAnalysisRun(CRepairJob& job, std::function<void()> endProcess = nullptr);
    CAnalysisRun(const CAnalysisRun&) = delete;
    CAnalysisRun& operator=(const CAnalysisRun&) = delete;
    ~CAnalysisRun() override;

    // Starts the worker on archive number job.m_nCurrentFile. A previous
    // worker must have ended (Wait) or been stopped.
    void Start(IAnalysisView& view);
    // Waits until the worker has ended. The dialog calls it when
    // AnalysisFinished reaches the interface thread, then closes itself;
    // the worker does nothing after that signal, so the wait is short.
    void Wait() override;

    // Interface-thread handlers.
    void OnPause() override;         // Pause / Resume toggles
    UserChoice OnStop() override;    // asks; Yes stops and returns after the worker stopped
    UserChoice OnClose() override;   // the close box acts as Stop
    UserChoice OnEscape() override;  // asks; Yes stops the worker and ends the process

    // The archive layer's progress report while the analysis scans.
    void ReportAnalysisProgress(std::uint64_t position, std::uint64_t total, std::uint64_t steps);
    // What the scan calls as it goes: ReportAnalysisProgress, unless
    // replaced (tests hold a worker in the scan by wrapping it).
    ProgressHook& ScanProgress() { return scan_.progress; }

    bool IsPaused() const { return m_bAnalysisPaused != 0; }
    std::atomic<int> m_bAnalysisDone{0};  // 1 once the worker signalled its end

private:
    void AnalysisWorker();
    void AnalyseSource();
    bool OpenProbe(CFile& probe);
    bool ScanForHeader(CFile& probe);
    void ListEntries();
    void ListEntry(std::uint32_t index, std::uint32_t count, int& shown);
    void OpenForListing();
    void SetBar(int percent);
    void SignalEnd();

    CRepairJob& job_;
    ScanState scan_;  // handed to each open
    std::function<void()> endProcess_;
    IAnalysisView* view_ = nullptr;
    CWorkerGate gate_;
    int m_bAnalysisPaused = 0;  // interface thread only
    CWorkerRun worker_{gate_, m_bAnalysisPaused};

    std::uint64_t m_nSourceLength = 0;  // worker only
    int m_nProgressCreep = 0;           // worker only
    int bar_ = 0;                       // the bar's position, as the worker last set it
    int scanPercent_ = 0;               // worker only: how far the scan's reports have come
    CProgressPlan plan_{5, 85, 10};     // worker only: probe, scan, listing
    CZipArchive m_analysisArchive;
    CFileHeader m_analysisHeader;
    std::string m_strAnalysisPath;
};

}  // namespace tessaly
