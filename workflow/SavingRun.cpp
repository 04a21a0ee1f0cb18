#include "workflow/SavingRun.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "app/EndProcess.h"
#include "archive/ScanState.h"
#include "archive/SkipRules.h"
#include "log/LogSections.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "workflow/OutputFolder.h"
#include "workflow/ProgressMath.h"
#include "workflow/RepairJob.h"
#include "workflow/SignatureScan.h"

namespace tessaly {

namespace {

constexpr std::uint64_t kSmallestArchive = 100;
// The extraction buffer's size.
constexpr std::size_t kExtractBufferSize = 65535;

// Closes the saving archive however the extraction ends.
class CArchiveCloser {
public:
    CArchiveCloser(CZipArchive& archive, ScanState& state) : archive_(archive), state_(state) {}
    ~CArchiveCloser() {
        state_.entriesFound = 0;
        archive_.CloseArchive(true);
    }
    CArchiveCloser(const CArchiveCloser&) = delete;
    CArchiveCloser& operator=(const CArchiveCloser&) = delete;

private:
    CZipArchive& archive_;
    ScanState& state_;
};

}  // namespace

CSavingRun::CSavingRun(CRepairJob& job, ScanState& state, std::function<void()> endProcess, Clock localNow)
    : job_(job),
      state_(state),
      endProcess_(endProcess ? std::move(endProcess) : std::function<void()>([] { EndProcess(); })),
      localNow_(localNow ? std::move(localNow) : Clock(LocalNow)),
      m_savingArchive(state) {
    m_savingArchive.SetPasswordSource(&passwords_);
    state_.reportSavingProgress = [this](std::uint64_t position, std::uint64_t total, std::uint64_t steps) {
        ReportSavingProgress(position, total, steps);
    };
    // A large entry is paused and stopped between its blocks, not only
    // between entries.
    state_.extractCheckpoint = [this] {
        if (gate_.NeedsAttention() && !gate_.Pass()) throw WorkerStopped();
    };
}

CSavingRun::~CSavingRun() {
    gate_.RequestStop();
    passwords_.Cancel();
    Wait();
    state_.reportSavingProgress = nullptr;
    state_.extractCheckpoint = nullptr;
}

void CSavingRun::Start(ISavingView& view) {
    gate_.RequestStop();
    Wait();
    view_ = &view;
    gate_.Reset();
    m_bSavingPaused = 0;
    m_bShowCompletion = 0;
    mirrorOverall_ = job_.m_bSaveCurrentOnly == 1 || job_.m_nSourceCount == 1;
    summary_ = SavingSummary{};
    passwords_.Begin(view);
    thread_ = std::thread([this] { SavingWorker(); });
}

void CSavingRun::Wait() {
    if (thread_.joinable()) thread_.join();
}

AfterSaving CSavingRun::AfterFinished() {
    Wait();
    m_bShowCompletion = 0;
    if (job_.m_bSaveCurrentOnly != 1) return AfterSaving::ShowCompletion;
    job_.m_bSaveCurrentOnly = 0;
    return job_.m_nSourceCount > 1 ? AfterSaving::BackToPreview : AfterSaving::ShowCompletion;
}

// ---- Interface thread ----------------------------------------------------

void CSavingRun::OnPause() {
    if (m_bSavingPaused) {
        gate_.Release();
        view_->SetPauseText("Pause");
        m_bSavingPaused = 0;
    } else {
        gate_.Hold();
        view_->SetPauseText("Resume");
        m_bSavingPaused = 1;
    }
}

UserChoice CSavingRun::OnStop() { return AskToEnd(SavingStopQuestion(), true); }
UserChoice CSavingRun::OnClose() { return AskToEnd(SavingCloseQuestion(), false); }
UserChoice CSavingRun::OnEscape() { return AskToEnd(SavingEscapeQuestion(), false); }

// Holds the worker (unless Pause holds it already) while the question is
// up; No leaves it exactly as it was. Yes logs the abort, stops the worker
// for good at its next step and ends the program.
UserChoice CSavingRun::AskToEnd(const Message& question, bool notice) {
    if (!m_bSavingPaused) gate_.Hold();
    if (view_->ShowMessage(question) != MessageAnswer::Yes) {
        if (!m_bSavingPaused) gate_.Release();
        return UserChoice::Continued;
    }
    LogRepairAborted();
    gate_.RequestStop();
    passwords_.Cancel();
    if (notice) view_->ShowMessage(SavingAbortedNotice());
    endProcess_();
    return UserChoice::ProcessEnded;
}

// ---- Worker thread -------------------------------------------------------

void CSavingRun::SavingWorker() {
    try {
        m_nArchivesDone = 0;
        current_ = overall_ = -1;  // the dialog is reused: show the first values whatever they are
        gate_.RunOrThrow([&] {
            LogSavingHeading();
            SetOverall(0);
        });
        try {
            if (job_.m_bSaveCurrentOnly == 1)
                SaveCurrentFile();
            else
                SaveAllFiles();
        } catch (const WorkerStopped&) {
            throw;
        } catch (const std::exception&) {
            // Each archive's own faults are caught where it is saved; anything
            // else ends the run as finished rather than silently, and the
            // archives it did not reach count as not read.
            CountUnreached();
        }
        passwords_.Forget();
        gate_.RunOrThrow([&] {
            m_bShowCompletion = 1;
            view_->SavingFinished();
        });
    } catch (const WorkerStopped&) {
        // Stopped: the program is ending; nothing more is shown or logged.
        passwords_.Forget();
    }
}

void CSavingRun::SaveCurrentFile() {
    const std::string source = job_.GetSourcePath(job_.m_nCurrentFile - 1);
    gate_.RunOrThrow([&] {
        SetCurrent(0);
        view_->SetFileNumber("1");
        view_->SetFileTotal("1");
        view_->SetFileName(source);
    });
    SaveArchive(source, job_.m_szCurrentFileDest, EntryBars::BeforeEach);
}

void CSavingRun::SaveAllFiles() {
    const int count = job_.m_nSourceCount;
    gate_.RunOrThrow([&] { view_->SetFileTotal(std::to_string(count)); });
    const auto& paths = job_.SourcePaths();
    for (std::size_t i = 0; i < paths.size() && m_nArchivesDone < count; ++i) {
        const int number = m_nArchivesDone + 1;
        const int overall = static_cast<int>(std::int64_t{number} * 100 / count);
        gate_.RunOrThrow([&] {
            SetCurrent(0);
            view_->SetFileName(paths[i]);
            view_->SetFileNumber(std::to_string(number));
        });
        SaveArchive(paths[i], job_.m_szAllFilesDest, EntryBars::AfterEach);
        ++m_nArchivesDone;
        if (count > 1) gate_.RunOrThrow([&] { SetOverall(overall); });
    }
}

void CSavingRun::CountUnreached() {
    std::vector<std::string> sources = job_.SourcePaths();
    if (job_.m_bSaveCurrentOnly == 1) sources = {job_.GetSourcePath(job_.m_nCurrentFile - 1)};
    sources.resize(std::min(sources.size(), static_cast<std::size_t>(std::max(1, job_.m_nSourceCount))));
    while (summary_.archives.size() < sources.size()) {
        summary_.archives.push_back({sources[summary_.archives.size()]});
        summary_.archives.back().unreadable = true;
    }
}

std::string CSavingRun::MakeOutputFolder(const std::string& destination) {
    if (!gate_.Pass()) throw WorkerStopped();
    const std::string folder = CreateOutputFolder(OutputFolderName(destination, localNow_()));
    gate_.RunOrThrow([&] {
        view_->SetOutputFolder(folder);
        LogOutputFolder(folder);
    });
    return folder;
}

// Makes the archive's output folder and extracts into it. An archive that
// is missing, unreadable, tiny or holds no local header is skipped and
// counted as not read; its folder stays empty and the run goes on.
void CSavingRun::SaveArchive(const std::string& source, const std::string& destination, EntryBars bars) {
    summary_.archives.push_back(ArchiveSavingSummary{source});
    ArchiveSavingSummary& archive = summary_.archives.back();
    try {
        const std::string folder = MakeOutputFolder(destination);
        if (!source.empty() && IsExistingFile(PathFromUtf8(source)) && FindHeader(source))
            ExtractAll(source, folder, bars);
        else
            archive.unreadable = true;
    } catch (const WorkerStopped&) {
        throw;
    } catch (const std::exception&) {
        // Whatever went wrong costs this archive only.
        archive.unreadable = true;
    }
}

bool CSavingRun::FindHeader(const std::string& source) {
    CFile probe;
    if (!probe.Open(PathFromUtf8(source), CFile::Mode::Read)) return false;
    const std::uint64_t length = probe.GetLength();
    if (length <= kSmallestArchive) return false;
    const SignatureScanOutcome outcome = FindFirstLocalHeader(probe, length, [&](std::uint64_t offset) {
        return gate_.Run([&] { SetBars(static_cast<int>(offset * 100 / length)); });
    });
    if (outcome.result == SignatureScanResult::Stopped) throw WorkerStopped();
    return outcome.result == SignatureScanResult::Found;
}

void CSavingRun::ExtractAll(const std::string& source, const std::string& folder, EntryBars bars) {
    CArchiveCloser closer(m_savingArchive, state_);
    source_ = source;
    state_.savingProgressActive = 1;
    try {
        m_savingArchive.OpenArchive(PathFromUtf8(source), job_.m_nRepairMode);
    } catch (const WorkerStopped&) {
        state_.savingProgressActive = 0;
        throw;
    } catch (const std::exception&) {
        // CZipException or CFileException: extract what the table holds.
    }
    state_.savingProgressActive = 0;
    const int base = current_;
    const std::uint32_t count = m_savingArchive.GetCount();
    // The scan found nothing to salvage: the archive could not be read.
    if (count == 0) summary_.archives.back().unreadable = true;
    for (std::uint32_t j = 0; j < count; ++j) {
        const bool last = j + 1 == count;
        if (bars == EntryBars::BeforeEach) gate_.RunOrThrow([&] { SetBars(EntryProgress(j, count, last, base)); });
        ExtractOne(j, folder);
        if (bars == EntryBars::AfterEach) gate_.RunOrThrow([&] { SetBars(EntryProgress(j + 1, count, last, base)); });
    }
}

void CSavingRun::ExtractOne(std::uint32_t index, const std::string& folder) {
    ExtractReport report;
    bool done = false;
    try {
        done = m_savingArchive.ExtractEntry(index, PathFromUtf8(folder), kExtractBufferSize, &report);
    } catch (const WorkerStopped&) {
        throw;
    } catch (const std::exception&) {
        // A failing entry costs only itself; it is counted as not written.
        done = false;
    }
    if (done && report.outcome == ExtractOutcome::Encrypted && PasswordFailed(index)) done = false;
    CountOutcome(done ? report.outcome : ExtractOutcome::Failed);
}

// An encrypted entry a password could open that still came out encrypted,
// although the user gave a password for its archive: the password did not
// open it, so it could not be written. Without a password (the user skipped
// the archive's encrypted entries) it is left out.
bool CSavingRun::PasswordFailed(std::uint32_t index) {
    if (!passwords_.PasswordGiven(PathFromUtf8(source_))) return false;
    CFileHeader entry;
    try {
        return m_savingArchive.GetEntryInfo(entry, index) && !ExtractSkipVerdict(entry, /*passwordsAsked=*/true);
    } catch (const std::exception&) {
        return false;
    }
}

void CSavingRun::CountOutcome(ExtractOutcome outcome) {
    ArchiveSavingSummary& archive = summary_.archives.back();
    switch (outcome) {
        case ExtractOutcome::Ok: ++archive.whole; break;
        case ExtractOutcome::Damaged: ++archive.damaged; break;
        case ExtractOutcome::Truncated:
        case ExtractOutcome::Limited: ++archive.truncated; break;
        case ExtractOutcome::Skipped:
        case ExtractOutcome::Encrypted: ++archive.leftOut; break;
        case ExtractOutcome::Failed: ++archive.notWritten; break;
    }
}

void CSavingRun::SetBars(int percent) {
    SetCurrent(percent);
    if (mirrorOverall_) SetOverall(percent);
}

void CSavingRun::SetCurrent(int percent) {
    if (percent == current_) return;
    current_ = percent;
    view_->SetCurrentProgress(percent);
}

void CSavingRun::SetOverall(int percent) {
    if (percent == overall_) return;
    overall_ = percent;
    view_->SetOverallProgress(percent);
}

void CSavingRun::ReportSavingProgress(std::uint64_t position, std::uint64_t total, std::uint64_t steps) {
    const int percent = ProgressFromReport(current_, position, total, steps, m_nSavingCreep, kSavingCreep);
    gate_.RunOrThrow([&] { SetBars(percent); });
}

CSavingRun& ProcessSavingRun() {
    static CSavingRun run(ProcessRepairJob(), ProcessScanState());
    return run;
}

}  // namespace tessaly
