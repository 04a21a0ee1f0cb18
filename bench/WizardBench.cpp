// Times the wizard's dialogs on large archives, under an X server:
//
//   1. the analysis of a 70 000-entry archive through the preview and its
//      analysis dialog, from the preview's start until the dialog has closed
//      and the list holds every row (target: 3 s);
//   2. saving a few-hundred-megabyte archive through the saving dialog,
//      against single-threaded extraction of the same archive through the
//      archive layer alone (target: 1.2 times at most).
//
// Usage: tessaly-wizard-bench [ENTRIES] [UNCOMPRESSED_MIB] [WORK_DIR] [CLI]
// (defaults 70000, 800 and a temporary folder; with CLI, the path of
// tessaly-zip-cli, its extract is timed too). Each figure is the best of
// three runs on a warm cache.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include "archive/ZipArchive.h"
#include "archive/output/OutputDestination.h"
#include "archive/salvage/SalvageDriver.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipWriter.h"
#include "workflow/AnalysisRun.h"
#include "workflow/RepairJob.h"
#include "workflow/RepairingRun.h"
#include "workflow/SavingRun.h"
#include "workflow/dialogs/EntryList.h"
#include "workflow/dialogs/FileSave.h"
#include "workflow/dialogs/Preview.h"
#include "workflow/dialogs/ProgressBar.h"
#include "workflow/dialogs/ViewLog.h"
#include "workflow/dialogs/WizardServices.h"

using namespace tessaly;
using Clock = std::chrono::steady_clock;

namespace {

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

template <typename T>
T* Shown() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* found = dynamic_cast<T*>(window); found && found->IsShown()) return found;
    return nullptr;
}

// Calls `poll` every few milliseconds while a modal run is going on.
class Poller : public wxEvtHandler {
public:
    explicit Poller(std::function<void()> poll) : m_poll(std::move(poll)), m_timer(this) {
        Bind(wxEVT_TIMER, [this](wxTimerEvent&) { m_poll(); });
        m_timer.Start(2);
    }

private:
    std::function<void()> m_poll;
    wxTimer m_timer;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::filesystem::path MakeManyEntries(const std::filesystem::path& folder, std::size_t entries) {
    std::vector<testzip::EntryToWrite> inputs;
    inputs.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i)
        inputs.push_back(testzip::Deflated("dir" + std::to_string(i % 97) + "/file" + std::to_string(i) + ".txt",
                                           testzip::TextContent(std::to_string(i), 64 + i % 200)));
    const auto path = folder / "many.zip";
    testzip::WriteFileBytes(path, testzip::BuildZip(inputs).bytes);
    return path;
}

// Mostly compressible text with some incompressible data, a long tail of
// sizes: an archive of a few hundred megabytes for `mib` uncompressed.
std::filesystem::path MakeLarge(const std::filesystem::path& folder, std::size_t mib) {
    const std::size_t entries = 600;
    const std::size_t average = (mib << 20) / entries;
    std::vector<testzip::EntryToWrite> inputs;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t size = average / 2 + (i * 2654435761u) % average;
        const std::string name = "big/part" + std::to_string(i);
        if (i % 4 == 3) {
            auto input = testzip::Deflated(name + ".bin", testzip::NoiseContent(static_cast<std::uint32_t>(i), size));
            input.level = 1;
            inputs.push_back(std::move(input));
        } else {
            inputs.push_back(testzip::Deflated(name + ".txt", testzip::TextContent(name, size)));
        }
    }
    const auto path = folder / "large.zip";
    testzip::WriteFileBytes(path, testzip::BuildZip(inputs).bytes);
    return path;
}

struct Sandbox {
    CRepairJob job;
    CAnalysisRun analysis{job, [] {}};
    CSavingRun saving{job, [] {}};
    CRepairingRun repairing{job};
    WizardServices services;

    Sandbox() {
        services.job = &job;
        services.analysis = &analysis;
        services.saving = &saving;
        services.repairing = &repairing;
        services.endProcess = [] {};
    }
};

struct AnalysisFigures {
    double seconds = 0;        // until every row is shown
    double longestBusyMs = 0;  // the longest the interface thread took no input
};

// From the preview's start to the analysis dialog closed with every row in
// the list; and, while it runs, the longest gap between two ticks of a 2 ms
// timer, which is how long a scroll or a Pause press could have waited.
AnalysisFigures TimeAnalysis(const std::filesystem::path& archive, std::size_t entries) {
    Sandbox sandbox;
    sandbox.job.AppendSourcePath(archive.string());
    sandbox.job.m_nSourceCount = 1;
    const auto start = Clock::now();
    Clock::time_point shown{};
    Clock::time_point lastTick{};
    double longestBusy = 0;
    bool analysing = false;
    {
        CPreview preview(sandbox.services);
        Poller poll([&] {
            const auto now = Clock::now();
            if (analysing && Shown<CProgressBar>()) longestBusy = std::max(longestBusy, Seconds(now - lastTick));
            lastTick = now;
            if (Shown<CProgressBar>()) analysing = true;
            if (!analysing || Shown<CProgressBar>() || !preview.IsIdle()) return;
            if (preview.EntryList()->GetItemCount() != static_cast<int>(entries)) return;
            shown = Clock::now();
            preview.EndModal(wxID_CANCEL);
        });
        preview.ShowModal();
    }
    return {Seconds(shown - start), longestBusy * 1000};
}

// From the saving dialog's start to the completion dialog.
double TimeSavingDialog(const std::filesystem::path& archive, const std::filesystem::path& out) {
    Sandbox sandbox;
    sandbox.job.AppendSourcePath(archive.string());
    sandbox.job.m_nSourceCount = 1;
    sandbox.job.m_szAllFilesDest = out.string();
    const auto start = Clock::now();
    Clock::time_point done{};
    CFileSave saving(sandbox.services);
    Poller poll([&] {
        if (CViewLog* completion = Shown<CViewLog>()) {
            if (done == Clock::time_point{}) done = Clock::now();
            wxCommandEvent ok(wxEVT_BUTTON, IDC_VIEW_LOG_OK);
            completion->ProcessWindowEvent(ok);
        }
    });
    saving.ShowModal();
    return Seconds(done - start);
}

// The saving worker with a view that shows nothing: what the worker layer
// costs without any dialog.
class SilentView : public ISavingView {
public:
    void SetCurrentProgress(int) override {}
    void SetOverallProgress(int) override {}
    void SetFileName(const std::string&) override {}
    void SetFileNumber(const std::string&) override {}
    void SetFileTotal(const std::string&) override {}
    void SetOutputFolder(const std::string&) override {}
    void SavingFinished() override { finished = true; }
    void SetPauseText(const std::string&) override {}
    MessageAnswer ShowMessage(const Message&) override { return MessageAnswer::Ok; }
    std::atomic<bool> finished{false};
};

double TimeSavingWorker(const std::filesystem::path& archive, const std::filesystem::path& out) {
    Sandbox sandbox;
    sandbox.job.AppendSourcePath(archive.string());
    sandbox.job.m_nSourceCount = 1;
    sandbox.job.m_szAllFilesDest = out.string();
    SilentView view;
    const auto start = Clock::now();
    sandbox.saving.Start(view);
    sandbox.saving.Wait();
    return Seconds(Clock::now() - start);
}

// The archive layer alone on this thread: open, extract every entry, close.
double TimeSingleThreadExtraction(const std::filesystem::path& archive, const std::filesystem::path& out) {
    CZipArchive zip;
    const auto start = Clock::now();
    zip.OpenArchive(archive, QuickRepair);
    OutputDestination destination(out);
    SalvageOptions options;
    options.bufferSize = 65535;
    SalvageObserver observer;
    SalvageEntries(zip, destination, options, observer);
    zip.CloseArchive(true);
    return Seconds(Clock::now() - start);
}

template <typename Run>
double Best(int runs, Run run) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) best = std::min(best, run(i));
    return best;
}

// Runs `timed` on an empty output folder, then removes it and waits for the
// disk to take what was written.
template <typename Timed>
double Settled(const std::filesystem::path& work, Timed timed) {
    const auto out = work / "out";
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    ::sync();
    const double seconds = timed(out);
    std::filesystem::remove_all(out);
    ::sync();
    return seconds;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::puts("tessaly-wizard-bench: no X display (run under xvfb-run)");
        return 77;
    }
    const std::size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 70000;
    const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 800;
    testzip::TempFolder temp("tessaly-wizard-bench");
    const std::filesystem::path work = argc > 3 ? std::filesystem::path(argv[3]) : temp.Path();
    std::filesystem::create_directories(work / "program");
    {
        std::FILE* settings = std::fopen((work / "settings.ini").c_str(), "w");
        std::fprintf(settings, "FilePath=%s\n", (work / "program").c_str());
        std::fclose(settings);
    }
    setenv("TESSALY_SETTINGS", (work / "settings.ini").c_str(), 1);

    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(toolkitArgc, toolkitArgv)) return 1;
    wxTheApp->CallOnInit();
    wxEventLoop loop;
    wxEventLoopBase::SetActive(&loop);

    const auto many = MakeManyEntries(work, entries);
    AnalysisFigures analysis{1e9, 0};
    for (int run = 0; run < 3; ++run) {
        const AnalysisFigures figures = TimeAnalysis(many, entries);
        if (figures.seconds < analysis.seconds) analysis = figures;
    }
    std::printf("analysis of %zu entries until every row is shown: %.2f s (target 3 s)\n", entries, analysis.seconds);
    std::printf("longest wait for input while it ran: %.0f ms\n", analysis.longestBusyMs);

    const auto large = MakeLarge(work, mib);
    std::printf("saving archive: %.0f MiB (%zu MiB uncompressed)\n",
                static_cast<double>(std::filesystem::file_size(large)) / (1 << 20), mib);
    // Rounds through the three ways, each output removed and the disk's
    // write-back finished before the next one, so no run pays for another.
    double single = 1e9, worker = 1e9, dialog = 1e9;
    for (int run = 0; run < 3; ++run) {
        single = std::min(single, Settled(work, [&](auto out) { return TimeSingleThreadExtraction(large, out); }));
        worker = std::min(worker, Settled(work, [&](auto out) { return TimeSavingWorker(large, out); }));
        dialog = std::min(dialog, Settled(work, [&](auto out) { return TimeSavingDialog(large, out); }));
    }
    std::printf("single-threaded extraction:     %.2f s\n", single);
    std::printf("saving worker without a dialog: %.2f s\n", worker);
    std::printf("saving through the dialog:      %.2f s (%.2fx, target 1.2x)\n", dialog, dialog / single);
    if (argc > 4) {
        // The command-line tool on the same archive, on one processor and
        // on all of them.
        for (const char* pin : {"taskset -c 0 ", ""}) {
            const std::string command = std::string(pin) + "'" + argv[4] + "' extract -d '" + (work / "out").string() +
                                        "' '" + large.string() + "' >/dev/null";
            const double cli = Best(3, [&](int) {
                return Settled(work, [&](auto) {
                    const auto start = Clock::now();
                    if (std::system(command.c_str()) != 0) std::puts("command-line extract failed");
                    return Seconds(Clock::now() - start);
                });
            });
            std::printf("tessaly-zip-cli extract%s:   %.2f s\n", *pin ? " (one processor)" : " (all processors)", cli);
        }
    }

    for (wxWindow* window : wxTopLevelWindows) window->Destroy();
    wxTheApp->ProcessIdle();
    wxEventLoopBase::SetActive(nullptr);
    wxEntryCleanup();
    return 0;
}
