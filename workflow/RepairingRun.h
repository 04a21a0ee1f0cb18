// Save Repaired Archive: a worker thread scans the archive the preview
// shows, in the job's repair mode, and writes every entry the salvage finds
// into one new ZIP archive (archive/repair/ArchiveRepair.h), under the
// saving dialog. Its bars follow the entries done; Pause holds the worker
// between blocks; Stop, the close box and Escape stop it after a question,
// and a stopped run leaves no new archive. Encrypted entries get their
// password the way saving asks for it (SavingPasswords.h). The activity log
// gets what is repaired into where, one line per entry, and how it ended;
// the preview shows the end from Summary().
//
// One CRepairingRun serves a whole wizard: the program's root makes it, the
// preview calls Prepare with what the user chose, and the saving dialog
// calls Start with itself as the view.
#pragma once

#include <cstdint>
#include <string>

#include "archive/RepairMode.h"
#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "archive/repair/ArchiveRepair.h"
#include "workflow/RepairingSummary.h"
#include "workflow/SavingPasswords.h"
#include "workflow/SavingWork.h"
#include "workflow/WorkerGate.h"
#include "workflow/WorkerRun.h"

namespace tessaly {

class CRepairJob;

class CRepairingRun : public ISavingWork, private RepairObserver {
public:
    explicit CRepairingRun(CRepairJob& job);
    CRepairingRun(const CRepairingRun&) = delete;
    CRepairingRun& operator=(const CRepairingRun&) = delete;
    ~CRepairingRun() override;

    // Interface thread, while no worker runs: the archive to repair and the
    // new archive's path (both UTF-8). A file of that name is replaced (the
    // user was asked when choosing it).
    void Prepare(const std::string& archive, const std::string& output);

    void Start(ISavingView& view) override;
    // Waits until the worker has ended.
    void Wait() override;
    // Always back to the preview, which shows how the run ended.
    AfterSaving AfterFinished() override;

    // Interface-thread handlers. Stop, the close box and Escape ask the same
    // question; Yes stops the worker and waits for it.
    void OnPause() override;
    UserChoice OnStop() override;
    UserChoice OnClose() override { return OnStop(); }
    UserChoice OnEscape() override { return OnStop(); }

    bool IsPaused() const { return paused_ != 0; }
    bool IsStopping() const override { return gate_.StopRequested(); }
    // Any thread: a worker waiting for a password gets none, and nothing
    // more is asked in this run.
    void CancelQuestions() override { passwords_.Cancel(); }
    // What the scan calls as it goes: it holds a paused worker and ends a
    // stopped one (tests hold a worker in the scan by wrapping it).
    ProgressHook& ScanProgress() { return scan_.progress; }
    // How the last run ended; complete once its worker has ended.
    const RepairingSummary& Summary() const { return summary_; }

private:
    void RepairingWorker();
    void ShowStart();
    void Repair();
    bool OpenArchive();
    // The repair's observer, on the worker.
    bool StopBefore(std::uint32_t index) override;
    void BetweenBlocks(std::uint32_t index) override;
    void EntryRepaired(const RepairedEntry& entry) override;
    void PassOrThrow();
    void SetBars(int percent);

    CRepairJob& job_;
    ScanState scan_;  // handed to the open
    std::string archivePath_;
    std::string outputPath_;
    RepairMode mode_ = QuickRepair;  // the job's, as Start found it
    ISavingView* view_ = nullptr;
    CWorkerGate gate_;
    int paused_ = 0;  // interface thread only
    CWorkerRun worker_{gate_, paused_};
    CSavingPasswords passwords_{gate_};

    std::uint32_t entriesFound_ = 0;  // worker only: what the scan found
    std::uint32_t entriesDone_ = 0;   // worker only: handed back by the repair
    int bars_ = 0;                    // worker only: the bars, as last set
    CZipArchive archive_;
    RepairingSummary summary_;
};

}  // namespace tessaly
