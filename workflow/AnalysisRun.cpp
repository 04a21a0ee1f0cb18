#include "workflow/AnalysisRun.h"

#include <exception>

#include "archive/SkipRules.h"
#include "archive/ZipException.h"
#include "core/EndProcess.h"
#include "log/LogSections.h"
#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "workflow/ProgressMath.h"
#include "workflow/RepairJob.h"
#include "workflow/SignatureScan.h"

namespace tessaly {

namespace {

// Archives this small are not worth opening.
constexpr std::uint64_t kSmallestArchive = 100;

// The analysis' phases on its bar: looking for the first local header, the
// archive layer's scan (it reads the whole file) and listing the entries.
enum AnalysisPhase : std::size_t { kProbePhase, kScanPhase, kListPhase };

// The probe is done with before the archive layer opens the file itself; a
// failing close changes nothing about what can be listed.
void CloseQuietly(CFile& file) {
    try {
        file.Close();
    } catch (const CFileException&) {
    }
}

}  // namespace

CAnalysisRun::CAnalysisRun(CRepairJob& job, std::function<void()> endProcess)
    : job_(job), endProcess_(endProcess ? std::move(endProcess) : std::function<void()>([] { EndProcess(); })) {
    scan_.progress = [this](std::uint64_t position, std::uint64_t total, std::uint64_t steps) {
        ReportAnalysisProgress(position, total, steps);
    };
}

CAnalysisRun::~CAnalysisRun() { worker_.Stop(); }

void CAnalysisRun::Start(IAnalysisView& view) {
    worker_.Stop();
    view_ = &view;
    m_bAnalysisDone = 0;
    bar_ = 0;
    plan_.Reset();
    scanPercent_ = 0;
    m_nProgressCreep = 0;
    worker_.Start(view, [this] { AnalysisWorker(); });
}

void CAnalysisRun::Wait() { worker_.Wait(); }

// ---- Interface thread ----------------------------------------------------

void CAnalysisRun::OnPause() { worker_.TogglePause(); }

UserChoice CAnalysisRun::OnStop() {
    if (!worker_.Confirm(AnalysisStopQuestion())) return UserChoice::Continued;
    worker_.Stop();
    m_analysisArchive.dataError = 0;
    m_nSourceLength = 0;
    m_bAnalysisPaused = 0;
    return UserChoice::Stopped;
}

UserChoice CAnalysisRun::OnClose() { return OnStop(); }

UserChoice CAnalysisRun::OnEscape() {
    if (!worker_.Confirm(AnalysisExitQuestion())) return UserChoice::Continued;
    worker_.Stop();
    endProcess_();
    return UserChoice::ProcessEnded;
}

// ---- Worker thread -------------------------------------------------------

void CAnalysisRun::AnalysisWorker() {
    try {
        AnalyseSource();
    } catch (const WorkerStopped&) {
        return;  // stopped: nothing more reaches the view or the log
    } catch (const std::exception&) {
        // Anything else ends this analysis normally, with what it listed.
        m_analysisArchive.CloseArchive(true);
    }
    try {
        SignalEnd();
    } catch (const WorkerStopped&) {
    }
}

void CAnalysisRun::AnalyseSource() {
    const int number = job_.m_nCurrentFile;
    m_strAnalysisPath = job_.GetSourcePath(number - 1);
    gate_.RunOrThrow([&] {
        LogAnalysisStart(number, m_strAnalysisPath);
        view_->ClearRows();
    });
    CFile probe;
    if (IsExistingFile(PathFromUtf8(m_strAnalysisPath)) && OpenProbe(probe) && ScanForHeader(probe)) {
        CloseQuietly(probe);
        ListEntries();
    }
}

bool CAnalysisRun::OpenProbe(CFile& probe) {
    if (!probe.Open(PathFromUtf8(m_strAnalysisPath), CFile::Mode::Read)) {
        if (!gate_.Pass()) throw WorkerStopped();
        // Another program holding the file is the one case the old text
        // names; any other refusal (permissions above all) gets its reason.
        const int error = probe.LastError();
        view_->ShowMessage(IsSharingViolation(error) ? FileAlreadyOpenMessage()
                                                     : CannotOpenSourceMessage(SystemErrorText(error)));
        return false;
    }
    try {
        m_nSourceLength = probe.GetLength();
    } catch (const CFileException&) {
        m_nSourceLength = 0;
    }
    return m_nSourceLength > kSmallestArchive;
}

// True when a local header was found; the verdict and the bar's end
// position for the other outcomes are settled here.
bool CAnalysisRun::ScanForHeader(CFile& probe) {
    const SignatureScanOutcome outcome = FindFirstLocalHeader(probe, m_nSourceLength, [this](std::uint64_t offset) {
        return gate_.Run([&] { SetBar(plan_.Advance(kProbePhase, offset, m_nSourceLength)); });
    });
    switch (outcome.result) {
        case SignatureScanResult::Found: return true;
        case SignatureScanResult::Stopped: throw WorkerStopped();
        case SignatureScanResult::NotFound:
            if (!gate_.Pass()) throw WorkerStopped();
            view_->ShowMessage(HighlyCorruptedMessage());
            return false;
        case SignatureScanResult::ReadError: break;
    }
    // A file that cannot be read to its end: nothing to list, normal end.
    gate_.RunOrThrow([&] { SetBar(plan_.Finish()); });
    return false;
}

void CAnalysisRun::ListEntries() {
    OpenForListing();
    const std::uint32_t count = m_analysisArchive.GetCount();
    int shown = 0;
    try {
        gate_.RunOrThrow([&] { SetBar(plan_.Advance(kScanPhase, 1, 1)); });
        for (std::uint32_t i = 0; i < count; ++i) ListEntry(i, count, shown);
        gate_.RunOrThrow([&] { LogEntriesListed(shown); });
    } catch (const WorkerStopped&) {
        m_analysisArchive.CloseArchive(true);
        throw;
    }
    m_analysisArchive.CloseArchive(true);
    gate_.RunOrThrow([&] { SetBar(plan_.Finish()); });  // the work is done
}

// Hands the archive to the archive layer; its scan reports to this run.
// Archive and file errors keep whatever the entry table holds.
void CAnalysisRun::OpenForListing() {
    try {
        m_analysisArchive.OpenArchive(PathFromUtf8(m_strAnalysisPath), job_.m_nRepairMode, scan_);
    } catch (const WorkerStopped&) {
        m_analysisArchive.CloseArchive(true);
        throw;
    } catch (const std::exception&) {
        // CZipException, CFileException or a failed allocation: list what was found.
    }
}

void CAnalysisRun::ListEntry(std::uint32_t index, std::uint32_t count, int& shown) {
    bool listable = false;
    try {
        // Listed exactly when saving would write it; saving asks for the
        // passwords of encrypted entries.
        listable = m_analysisArchive.GetEntryInfo(m_analysisHeader, index) &&
                   !ExtractSkipVerdict(m_analysisHeader, /*passwordsAsked=*/true);
    } catch (const std::exception&) {
        listable = false;
    }
    const EntryRow row = listable ? FormatEntryRow(m_analysisHeader) : EntryRow{};
    gate_.RunOrThrow([&] {
        SetBar(plan_.Advance(kListPhase, index + 1, count));
        if (!listable) return;
        view_->InsertRow(shown, row);
        view_->SetShownCount(std::to_string(shown + 1));
        ++shown;
    });
}

void CAnalysisRun::SignalEnd() {
    gate_.RunOrThrow([&] {
        m_bAnalysisDone = 1;
        view_->AnalysisFinished();
    });
}

void CAnalysisRun::SetBar(int percent) {
    if (percent == bar_) return;
    bar_ = percent;
    view_->SetProgress(percent);
}

// The scan's reports move the scan's share of the bar by the bytes scanned.
void CAnalysisRun::ReportAnalysisProgress(std::uint64_t position, std::uint64_t total, std::uint64_t steps) {
    scanPercent_ = ProgressFromReport(scanPercent_, position, total, steps, m_nProgressCreep, kAnalysisCreep);
    gate_.RunOrThrow([&] { SetBar(plan_.Advance(kScanPhase, static_cast<std::uint64_t>(scanPercent_), 100)); });
}

}  // namespace tessaly
