// Saving: a worker thread makes a fresh, time-stamped output folder for
// each archive to be saved (the one the preview shows, or every selected
// archive), hands the archive to the archive layer (whose scan moves the
// bars) and extracts every entry it found into that folder. The activity
// log gets the step 3 heading and each output folder. Pause holds the
// worker at its next step; Stop, the close box and Escape end the program
// after a question.
//
// One CSavingRun serves a whole wizard (it owns the saving's archive object
// and installs the scan's saving progress hook); the program's root makes
// it, and the saving dialog calls Start with itself as the view for each
// save.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "archive/ScanState.h"
#include "archive/ZipArchive.h"
#include "archive/salvage/SalvageDriver.h"
#include "workflow/ProgressMath.h"
#include "workflow/SavingPasswords.h"
#include "workflow/SavingSummary.h"
#include "workflow/SavingView.h"
#include "workflow/SavingWork.h"
#include "workflow/WorkerGate.h"
#include "workflow/WorkerRun.h"

namespace tessaly {

class CRepairJob;

class CSavingRun : public ISavingWork, private SalvageObserver {
public:
    using Clock = std::function<std::tm()>;

    explicit CSavingRun(CRepairJob& job, std::function<void()> endProcess = nullptr, Clock localNow = nullptr);
    CSavingRun(const CSavingRun&) = delete;
    CSavingRun& operator=(const CSavingRun&) = delete;
    ~CSavingRun() override;

    void Start(ISavingView& view) override;
    // Waits until the worker has ended.
    void Wait() override;
    // After SavingFinished, on the interface thread: waits for the worker,
    // clears the Save Current File request and says where to go.
    AfterSaving AfterFinished() override;

    // Interface-thread handlers.
    void OnPause() override;
    UserChoice OnStop() override;
    UserChoice OnClose() override;
    UserChoice OnEscape() override;

    // The archive layer's progress report while saving scans.
    void ReportSavingProgress(std::uint64_t position, std::uint64_t total, std::uint64_t steps);
    // What the scan calls as it goes: ReportSavingProgress, unless replaced
    // (tests hold a worker in the scan by wrapping it).
    ProgressHook& ScanProgress() { return scan_.progress; }

    bool IsPaused() const { return m_bSavingPaused != 0; }
    bool IsStopping() const override { return gate_.StopRequested(); }
    // Any thread: a worker waiting for a password gets none, and nothing
    // more is asked in this run (the view that would answer is going away).
    void CancelQuestions() override { passwords_.Cancel(); }
    // Where the saving's archive objects get passwords (for every archive
    // object that extracts for this run).
    PasswordSource& Passwords() { return passwords_; }
    // What the last run came to, archive by archive; complete once
    // SavingFinished was called (the worker fills it while it runs).
    const SavingSummary& Summary() const { return summary_; }
    std::atomic<int> m_bShowCompletion{0};

private:
    // The entry being extracted, for the bars.
    struct EntryWork {
        std::uint64_t start;   // where its records begin in the archive
        std::uint64_t data;    // its stored data's length
        std::uint64_t weight;  // its share of the extraction
    };

    void SavingWorker();
    void SaveCurrentFile();
    void SaveAllFiles();
    void CountUnreached();
    std::string MakeOutputFolder(const std::string& destination);
    void SaveArchive(const std::string& source, const std::string& destination);
    void ExtractAll(const std::string& source, const std::string& folder);
    EntryWork WorkOf(std::uint32_t index) const;
    void ShowEntryProgress();
    void StartArchiveBar();
    bool FindHeader(const std::string& source);
    // The salvage's observer: the entry about to start, between its
    // blocks, and what came of it.
    bool StopBefore(std::uint32_t index) override;
    void BetweenBlocks(std::uint32_t index) override;
    void EntryDone(const SalvagedEntry& entry) override;
    void CountOutcome(const ExtractReport& report);
    void NoteDestinationRefused(const std::string& where, const std::string& reason);
    void SetBars(int percent);
    void SetCurrent(int percent);
    void SetOverall(int percent);
    UserChoice AskToEnd(const Message& question, bool notice);

    CRepairJob& job_;
    ScanState scan_;  // handed to each open
    std::function<void()> endProcess_;
    Clock localNow_;
    ISavingView* view_ = nullptr;
    CWorkerGate gate_;
    int m_bSavingPaused = 0;  // interface thread only
    CWorkerRun worker_{gate_, m_bSavingPaused};
    CSavingPasswords passwords_{gate_};

    bool mirrorOverall_ = false;     // the Overall bar follows the Current bar
    int m_nArchivesDone = 0;         // worker only
    int m_nSavingCreep = 0;          // worker only
    std::string source_;             // worker only: the archive being extracted
    int current_ = 0;                // the Current bar, as the worker last set it
    int overall_ = 0;                // the Overall bar, as the worker last set it
    int archivesInRun_ = 1;          // worker only: how many archives the Overall bar counts
    int scanPercent_ = 0;            // worker only: how far the scan's reports have come
    CProgressPlan plan_{5, 20, 75};  // worker only: probe, scan, extraction of one archive
    bool folderMade_ = true;         // worker only: the archive's output folder exists
    std::string folder_;             // worker only: the archive's output folder
    EntryWork entryWork_{0, 0, 0};   // worker only: that entry
    std::uint64_t extractWork_ = 0;  // worker only: the archive's extraction, in all
    std::uint64_t extractDone_ = 0;  // worker only: the part done before the entry
    CZipArchive m_savingArchive;
    SavingSummary summary_;
};

}  // namespace tessaly
