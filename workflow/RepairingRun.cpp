#include "workflow/RepairingRun.h"

#include <exception>
#include <filesystem>
#include <optional>

#include "archive/ZipException.h"
#include "archive/salvage/FaultText.h"
#include "log/LogSections.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "workflow/ProgressMath.h"
#include "workflow/RepairJob.h"

namespace tessaly {
namespace {

// The salvage's output block: the command-line tool's repair uses the same.
constexpr std::size_t kRepairBufferSize = 256 * 1024;
// The bars stay below 100 until the new archive has its name.
constexpr int kBeforeTheEnd = 99;

}  // namespace

CRepairingRun::CRepairingRun(CRepairJob& job) : job_(job) {
    // The bars follow the entries, not the scan; the scan only stops here
    // while the run is paused, and ends when it is stopped.
    scan_.progress = [this](std::uint64_t, std::uint64_t, std::uint64_t) { PassOrThrow(); };
}

CRepairingRun::~CRepairingRun() {
    worker_.RequestStop();
    passwords_.Cancel();
    worker_.Wait();
}

void CRepairingRun::Prepare(const std::string& archive, const std::string& output) {
    archivePath_ = archive;
    outputPath_ = output;
}

void CRepairingRun::Start(ISavingView& view) {
    worker_.Stop();
    view_ = &view;
    mode_ = job_.m_nRepairMode;
    summary_ = RepairingSummary{};
    summary_.archive = archivePath_;
    summary_.output = outputPath_;
    passwords_.Begin(view);
    worker_.Start(view, [this] { RepairingWorker(); });
}

void CRepairingRun::Wait() { worker_.Wait(); }

AfterSaving CRepairingRun::AfterFinished() {
    Wait();
    return AfterSaving::BackToPreview;
}

// ---- Interface thread ----------------------------------------------------

void CRepairingRun::OnPause() { worker_.TogglePause(); }

// The worker is held while the question is up; No leaves it as it was. Yes
// stops it at its next step (a password it waits for is refused) and waits
// for it: the repair removes what it had written, and the log gets the stop.
UserChoice CRepairingRun::OnStop() {
    if (!worker_.Confirm(RepairingStopQuestion())) return UserChoice::Continued;
    worker_.RequestStop();
    passwords_.Cancel();
    worker_.Wait();
    return UserChoice::Stopped;
}

// ---- Worker thread -------------------------------------------------------

void CRepairingRun::RepairingWorker() {
    entriesFound_ = 0;
    entriesDone_ = 0;
    bars_ = -1;  // the dialog is reused: show the first values whatever they are
    try {
        gate_.RunOrThrow([&] { ShowStart(); });
        Repair();
    } catch (const WorkerStopped&) {
        summary_.stopped = true;
        summary_.written = false;
    }
    archive_.CloseArchive(true);
    passwords_.Forget();
    // Written past the gate: a stopped run ends in the log too.
    LogRepairingEnd(summary_);
    gate_.Run([&] {
        SetBars(100);
        view_->SavingFinished();
    });
}

void CRepairingRun::ShowStart() {
    LogRepairingStart(archivePath_, outputPath_, mode_);
    view_->SetFileName(archivePath_);
    view_->SetFileNumber("1");
    view_->SetFileTotal("1");
    view_->SetOutputFolder(outputPath_);
    SetBars(0);
}

void CRepairingRun::Repair() {
    const std::filesystem::path output = PathFromUtf8(outputPath_);
    // Refused before the scan, so that nobody waits for a scan to learn it.
    if (std::optional<std::string> refusal = RepairRefusal(PathFromUtf8(archivePath_), output, true)) {
        summary_.problem = *refusal;
        return;
    }
    if (!OpenArchive()) return;
    RepairOptions options;
    options.salvage.bufferSize = kRepairBufferSize;
    options.salvage.passwords = &passwords_;
    options.salvage.resync = mode_ == AdvanceRepair;
    options.replace = true;
    RepairResult result;
    try {
        result = RepairArchive(archive_, output, options, *this);
    } catch (const WorkerStopped&) {
        throw;
    } catch (const std::exception& fault) {
        summary_.problem = fault.what();
        return;
    }
    if (result.stopped) throw WorkerStopped();
    summary_.written = result.written;
    summary_.entries = result.entries;
    summary_.length = result.length;
    if (!result.written) summary_.problem = result.problem;
}

// Scans the archive in the job's repair mode. A fault the scan cannot step
// over keeps the entries found before it; false (with the reason in the
// summary) when there is nothing to repair.
bool CRepairingRun::OpenArchive() {
    std::string fault;
    try {
        archive_.OpenArchive(PathFromUtf8(archivePath_), mode_, scan_);
    } catch (const WorkerStopped&) {
        throw;
    } catch (const CZipException& raised) {
        fault = "the scan stopped: " + FaultText(raised);
    } catch (const CFileException& raised) {
        fault = "the scan stopped: " + FaultText(raised);
    } catch (const std::exception& raised) {
        fault = std::string("the scan stopped: ") + raised.what();
    }
    if (!archive_.IsOpen()) {
        summary_.problem =
            fault.empty() ? "cannot open the archive: " + OsErrorText(archive_.storage.file.LastError()) : fault;
        return false;
    }
    entriesFound_ = archive_.GetCount();
    if (entriesFound_ > 0) return true;
    summary_.problem = fault.empty() ? "no entries found: not a ZIP archive, or too damaged to salvage" : fault;
    return false;
}

// Before every entry, also one without data: Pause holds the worker here.
bool CRepairingRun::StopBefore(std::uint32_t) { return !gate_.Pass(); }

void CRepairingRun::BetweenBlocks(std::uint32_t) { PassOrThrow(); }

void CRepairingRun::PassOrThrow() {
    if (gate_.NeedsAttention() && !gate_.Pass()) throw WorkerStopped();
}

// Entries arrive in order, each once it is in the new archive or left out.
// An entry a stop ended goes nowhere: the run ends with it.
void CRepairingRun::EntryRepaired(const RepairedEntry& entry) {
    if (entry.salvaged.interrupted) return;
    summary_.Add(entry.action);
    ++entriesDone_;
    const int percent = EntryProgress(entriesDone_, entriesFound_, false, 0, kBeforeTheEnd);
    gate_.RunOrThrow([&] {
        LogRepairedEntry(static_cast<int>(entry.salvaged.index) + 1, entry.salvaged.name,
                         OutcomeName(entry.salvaged.report.outcome), RepairedEntryText(entry));
        SetBars(percent);
    });
}

// One archive: the Overall bar is the Current bar.
void CRepairingRun::SetBars(int percent) {
    if (percent == bars_) return;
    bars_ = percent;
    view_->SetCurrentProgress(percent);
    view_->SetOverallProgress(percent);
}

}  // namespace tessaly
