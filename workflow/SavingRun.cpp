#include "workflow/SavingRun.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/EntryVerdict.h"
#include "archive/SkipRules.h"
#include "archive/output/OutputDestination.h"
#include "core/EndProcess.h"
#include "log/LogSections.h"
#include "platform/File.h"
#include "platform/FileException.h"
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
// What making one output file costs, in bytes of data: an archive of many
// empty entries still moves the bar entry by entry.
constexpr std::uint64_t kEntryOverhead = 4096;

// One archive's phases on the Current bar: looking for the first local
// header, the archive layer's scan (it reads the whole file) and extracting
// the entries (by the bytes of their data read).
enum SavingPhase : std::size_t { kProbePhase, kScanPhase, kExtractPhase };

// Whether `path` lies inside `folder` (the output folder of an archive).
bool IsBelow(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const std::string inner = path.lexically_normal().generic_string();
    const std::string outer = folder.lexically_normal().generic_string();
    return !outer.empty() && inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           (outer.back() == '/' || inner[outer.size()] == '/');
}

// Closes the saving archive however the extraction ends.
class CArchiveCloser {
public:
    explicit CArchiveCloser(CZipArchive& archive) : archive_(archive) {}
    ~CArchiveCloser() { archive_.CloseArchive(true); }
    CArchiveCloser(const CArchiveCloser&) = delete;
    CArchiveCloser& operator=(const CArchiveCloser&) = delete;

private:
    CZipArchive& archive_;
};

}  // namespace

CSavingRun::CSavingRun(CRepairJob& job, std::function<void()> endProcess, Clock localNow)
    : job_(job),
      endProcess_(endProcess ? std::move(endProcess) : std::function<void()>([] { EndProcess(); })),
      localNow_(localNow ? std::move(localNow) : Clock(LocalNow)) {
    scan_.progress = [this](std::uint64_t position, std::uint64_t total, std::uint64_t steps) {
        ReportSavingProgress(position, total, steps);
    };
}

CSavingRun::~CSavingRun() {
    worker_.RequestStop();
    passwords_.Cancel();
    worker_.Wait();
}

void CSavingRun::Start(ISavingView& view) {
    worker_.Stop();
    view_ = &view;
    m_bShowCompletion = 0;
    mirrorOverall_ = job_.m_bSaveCurrentOnly == 1 || job_.m_nSourceCount == 1;
    summary_ = SavingSummary{};
    passwords_.Begin(view);
    worker_.Start(view, [this] { SavingWorker(); });
}

void CSavingRun::Wait() { worker_.Wait(); }

AfterSaving CSavingRun::AfterFinished() {
    Wait();
    m_bShowCompletion = 0;
    if (job_.m_bSaveCurrentOnly != 1) return AfterSaving::ShowCompletion;
    job_.m_bSaveCurrentOnly = 0;
    return job_.m_nSourceCount > 1 ? AfterSaving::BackToPreview : AfterSaving::ShowCompletion;
}

// ---- Interface thread ----------------------------------------------------

void CSavingRun::OnPause() { worker_.TogglePause(); }

UserChoice CSavingRun::OnStop() { return AskToEnd(SavingStopQuestion(), true); }
UserChoice CSavingRun::OnClose() { return AskToEnd(SavingCloseQuestion(), false); }
UserChoice CSavingRun::OnEscape() { return AskToEnd(SavingEscapeQuestion(), false); }

// Holds the worker (unless Pause holds it already) while the question is
// up; No leaves it exactly as it was. Yes logs the abort, stops the worker
// for good at its next step and ends the program.
UserChoice CSavingRun::AskToEnd(const Message& question, bool notice) {
    if (!worker_.Confirm(question)) return UserChoice::Continued;
    LogRepairAborted();
    worker_.RequestStop();
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
    archivesInRun_ = 1;
    gate_.RunOrThrow([&] {
        StartArchiveBar();
        view_->SetFileNumber("1");
        view_->SetFileTotal("1");
        view_->SetFileName(source);
    });
    SaveArchive(source, job_.m_szCurrentFileDest);
    gate_.RunOrThrow([&] { SetBars(plan_.Finish()); });
}

void CSavingRun::SaveAllFiles() {
    const int count = job_.m_nSourceCount;
    archivesInRun_ = std::max(1, count);
    gate_.RunOrThrow([&] { view_->SetFileTotal(std::to_string(count)); });
    const auto& paths = job_.SourcePaths();
    for (std::size_t i = 0; i < paths.size() && m_nArchivesDone < count; ++i) {
        const int number = m_nArchivesDone + 1;
        gate_.RunOrThrow([&] {
            StartArchiveBar();
            view_->SetFileName(paths[i]);
            view_->SetFileNumber(std::to_string(number));
        });
        SaveArchive(paths[i], job_.m_szAllFilesDest);
        // Done with this archive, whatever came of it.
        gate_.RunOrThrow([&] { SetBars(plan_.Finish()); });
        ++m_nArchivesDone;
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
    std::error_code failure;
    const std::string folder = CreateOutputFolder(OutputFolderName(destination, localNow_()), &failure);
    gate_.RunOrThrow([&] {
        view_->SetOutputFolder(folder);
        LogOutputFolder(folder);
    });
    // Nothing is written where the folder could not be made: extraction
    // would make the whole path again, a destination that is gone included.
    folderMade_ = !failure;
    if (failure) NoteDestinationRefused(destination, failure.message());
    return folder;
}

// The first time the destination refuses files the log says why; the
// completion step says it too.
void CSavingRun::NoteDestinationRefused(const std::string& where, const std::string& reason) {
    if (!summary_.destinationProblem.empty()) return;
    summary_.destinationProblem = reason;
    gate_.RunOrThrow([&] { LogDestinationRefused(where, reason); });
}

// Makes the archive's output folder and extracts into it. An archive that
// is missing, unreadable, tiny or holds no local header is skipped and
// counted as not read; its folder stays empty and the run goes on.
void CSavingRun::SaveArchive(const std::string& source, const std::string& destination) {
    summary_.archives.push_back(ArchiveSavingSummary{source});
    ArchiveSavingSummary& archive = summary_.archives.back();
    try {
        const std::string folder = MakeOutputFolder(destination);
        if (!source.empty() && IsExistingFile(PathFromUtf8(source)) && FindHeader(source))
            ExtractAll(source, folder);
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
        return gate_.Run([&] { SetBars(plan_.Advance(kProbePhase, offset, length)); });
    });
    if (outcome.result == SignatureScanResult::Stopped) throw WorkerStopped();
    return outcome.result == SignatureScanResult::Found;
}

void CSavingRun::ExtractAll(const std::string& source, const std::string& folder) {
    CArchiveCloser closer(m_savingArchive);
    source_ = source;
    try {
        m_savingArchive.OpenArchive(PathFromUtf8(source), job_.m_nRepairMode, scan_);
    } catch (const WorkerStopped&) {
        throw;
    } catch (const std::exception&) {
        // CZipException or CFileException: extract what the table holds.
    }
    const std::uint32_t count = m_savingArchive.GetCount();
    // The scan found nothing to salvage: the archive could not be read.
    if (count == 0) summary_.archives.back().unreadable = true;
    gate_.RunOrThrow([&] { SetBars(plan_.Advance(kScanPhase, 1, 1)); });
    // Nothing is written where the output folder could not be made: every
    // entry counts as not written.
    if (!folderMade_) {
        summary_.archives.back().notWritten += static_cast<int>(count);
        return;
    }
    extractWork_ = 0;
    for (std::uint32_t j = 0; j < count; ++j) extractWork_ += WorkOf(j).weight;
    extractDone_ = 0;
    folder_ = folder;
    // One thread: the bars follow the entries in order, and Pause holds the
    // one entry in hand.
    OutputDestination destination(PathFromUtf8(folder), NameRules::ForThisSystem(), false);
    SalvageOptions options;
    options.bufferSize = kExtractBufferSize;
    options.passwords = &passwords_;
    // Advance Repair is the mode for everything that can be had: it reads
    // on past damage inside an entry.
    options.resync = job_.m_nRepairMode == AdvanceRepair;
    if (SalvageEntries(m_savingArchive, destination, options, *this).stopped) throw WorkerStopped();
}

// An entry's share of the extraction: its stored data, which extraction
// reads from `start` on, and the cost of making its file.
CSavingRun::EntryWork CSavingRun::WorkOf(std::uint32_t index) const {
    CFileHeader entry;
    if (!m_savingArchive.GetEntryInfo(entry, index)) return {0, 0, kEntryOverhead};
    return {entry.localHeaderOffset, entry.compressedSize, entry.compressedSize + kEntryOverhead};
}

// Between blocks of a large entry: how far into its data the archive has
// been read.
void CSavingRun::ShowEntryProgress() {
    std::uint64_t position = 0;
    try {
        position = m_savingArchive.storage.Position();
    } catch (const std::exception&) {
        return;
    }
    const std::uint64_t inside = std::min(entryWork_.data, position - std::min(position, entryWork_.start));
    const int percent = plan_.Advance(kExtractPhase, extractDone_ + inside, extractWork_);
    if (percent != current_) gate_.RunOrThrow([&] { SetBars(percent); });
}

bool CSavingRun::StopBefore(std::uint32_t index) {
    entryWork_ = WorkOf(index);
    return false;
}

// A large entry is paused and stopped between its blocks, not only between
// entries, and moves the bars as its data is read.
void CSavingRun::BetweenBlocks(std::uint32_t) {
    if (gate_.NeedsAttention() && !gate_.Pass()) throw WorkerStopped();
    ShowEntryProgress();
}

// The entry's verdict is the archive layer's (ExtractReport::outcome); an
// entry that could not be extracted at all counts as not written, and a
// file-system error on a file in the output folder (disk full, read-only,
// gone) is the destination refusing files. A stopped entry is not counted:
// the run ends with it.
void CSavingRun::EntryDone(const SalvagedEntry& entry) {
    if (entry.interrupted) return;
    if (!entry.faultPath.empty() && IsBelow(entry.faultPath, PathFromUtf8(folder_)))
        NoteDestinationRefused(folder_, std::system_category().message(entry.faultOsError));
    CountOutcome(entry.report);
    extractDone_ += WorkOf(entry.index).weight;
    gate_.RunOrThrow([&] { SetBars(plan_.Advance(kExtractPhase, extractDone_, extractWork_)); });
}

void CSavingRun::CountOutcome(const ExtractReport& report) {
    ArchiveSavingSummary& archive = summary_.archives.back();
    switch (report.outcome) {
        case ExtractOutcome::Ok: ++archive.whole; break;
        case ExtractOutcome::Damaged: ++archive.damaged; break;
        case ExtractOutcome::Truncated:
        case ExtractOutcome::Limited: ++archive.truncated; break;
        case ExtractOutcome::Skipped: ++archive.leftOut; break;
        case ExtractOutcome::Encrypted:
            // Left out, nothing written: for a wrong password, or because the
            // user gave none (or none opens this encryption here).
            if (IsWrongPasswordDetail(report.detail))
                ++archive.wrongPassword;
            else
                ++archive.leftOut;
            break;
        case ExtractOutcome::Failed: ++archive.notWritten; break;
    }
}

// A new archive: its Current bar starts again at 0.
void CSavingRun::StartArchiveBar() {
    plan_.Reset();
    scanPercent_ = 0;
    m_nSavingCreep = 0;
    SetCurrent(0);
}

// The Overall bar counts the archives done and this one's part; with one
// archive the two bars are the same.
void CSavingRun::SetBars(int percent) {
    SetCurrent(percent);
    if (mirrorOverall_) {
        SetOverall(percent);
        return;
    }
    const int overall = static_cast<int>((std::int64_t{m_nArchivesDone} * 100 + percent) / std::max(1, archivesInRun_));
    if (overall > overall_) SetOverall(std::min(100, overall));
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
    // The scan's reports move the scan's share of the bar by the bytes scanned.
    scanPercent_ = ProgressFromReport(scanPercent_, position, total, steps, m_nSavingCreep, kSavingCreep);
    const int percent = plan_.Advance(kScanPhase, static_cast<std::uint64_t>(scanPercent_), 100);
    gate_.RunOrThrow([&] { SetBars(percent); });
}

}  // namespace tessaly
