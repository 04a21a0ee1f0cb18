#include "archive/salvage/SalvageDriver.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "archive/CompressionMethods.h"
#include "archive/SkipRules.h"
#include "archive/ZipArchive.h"
#include "archive/ZipException.h"
#include "archive/crypto/PasswordSource.h"
#include "archive/output/EntrySink.h"
#include "archive/salvage/ExtractPlan.h"
#include "archive/salvage/FaultText.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly {
namespace {

void TakeFault(SalvagedEntry& entry, const std::string& reason) {
    entry.report.outcome = ExtractOutcome::Failed;
    entry.report.detail = reason;
    entry.raised = true;
}

// A file-system fault says what became of the output file, so that the
// report and the disk agree: the bytes written before it stay.
std::string FileFaultText(const CFileException& fault, const ExtractReport& report) {
    std::string text = FaultText(fault);
    if (report.outputPath.empty()) return text;
    if (report.bytesWritten == 0) return text + "; the file is left empty";
    return text + "; its first " + std::to_string(report.bytesWritten) + " bytes are kept";
}

// One entry, whatever it raises: a fault costs the entry alone, a stop ends
// it with what was written kept.
SalvagedEntry SalvageOne(CZipArchive& archive, std::uint32_t index, EntrySink& destination,
                         const SalvageOptions& options, SalvageObserver& observer) {
    SalvagedEntry entry;
    entry.index = index;
    const CFileHeader& header = archive.centralDir.Entry(index);
    entry.name = header.fileName;
    entry.carriesData = CarriesData(header);
    ScanState state;
    state.checkpoint = [&observer, index] { observer.BetweenBlocks(index); };
    try {
        if (!archive.ExtractEntry(index, destination, options.bufferSize, &entry.report, state)) {
            entry.report.outcome = ExtractOutcome::Failed;
            if (entry.report.detail.empty()) entry.report.detail = "could not be extracted";
        }
    } catch (const SalvageStopped&) {
        TakeFault(entry, "stopped by an interrupt; what was written is kept");
        entry.raised = false;
        entry.interrupted = true;
    } catch (const CZipException& fault) {
        TakeFault(entry, FaultText(fault));
    } catch (const CFileException& fault) {
        TakeFault(entry, FileFaultText(fault, entry.report));
        entry.faultPath = fault.Path();
        entry.faultOsError = fault.OsError();
    } catch (const std::exception& fault) {
        TakeFault(entry, fault.what());
    } catch (...) {
        TakeFault(entry, "unexpected error");
    }
    return entry;
}

// Results arrive from any thread in any order; they are kept and handed to
// the observer in selection order, as soon as every earlier one is in. An
// observer that throws SalvageStopped stops the salvage.
class OrderedResults {
public:
    OrderedResults(SalvageObserver& observer, SalvageResult& result, bool keep, std::atomic<bool>& stop)
        : observer_(observer), result_(result), keep_(keep), stop_(stop) {}

    void Put(std::size_t position, SalvagedEntry entry) {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_.emplace(position, std::move(entry));
        while (!waiting_.empty() && waiting_.begin()->first == next_) {
            Hand(std::move(waiting_.begin()->second));
            waiting_.erase(waiting_.begin());
            ++next_;
        }
    }

    // After a stop: the entries done past a gap left by entries never
    // started are handed on too, in order, for they were written.
    void Flush() {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto& waiting : waiting_) Hand(std::move(waiting.second));
        waiting_.clear();
    }

private:
    void Hand(SalvagedEntry entry) {
        if (entry.interrupted) stop_ = true;
        try {
            observer_.EntryDone(entry);
        } catch (const SalvageStopped&) {
            stop_ = true;
        }
        if (keep_) result_.entries.push_back(std::move(entry));
    }

    SalvageObserver& observer_;
    SalvageResult& result_;
    bool keep_;
    std::atomic<bool>& stop_;
    std::mutex mutex_;
    std::map<std::size_t, SalvagedEntry> waiting_;  // by position in the selection
    std::size_t next_ = 0;
};

// What every thread shares: the plan's groups, handed out one at a time to
// whichever thread asks, and the results.
class SharedWork {
public:
    SharedWork(const std::vector<std::uint32_t>& selection, const ExtractPlan& plan, EntrySink& destination,
               const SalvageOptions& options, SalvageObserver& observer, SalvageResult& result)
        : selection_(selection),
          plan_(plan),
          destination_(destination),
          options_(options),
          observer_(observer),
          results_(observer, result, options.keepEntries, stop_) {}

    // A stop ends every thread before its next entry; the entry in hand
    // stops at its next output block.
    void Extract(CZipArchive& archive) {
        for (std::size_t g; (g = nextGroup_++) < plan_.groups.size();) {
            for (std::uint32_t position : plan_.groups[g]) {
                const std::uint32_t index = selection_[position];
                if (stop_ || AskStop(index)) return;
                results_.Put(position, SalvageOne(archive, index, destination_, options_, observer_));
            }
        }
    }

    // A helper thread opens the archive for itself with a copy of the
    // entries the scan found.
    void Help(const CZipArchive& scanned) {
        CZipArchive archive;
        archive.SetPasswordSource(options_.passwords);
        archive.SetExpansionLimits(options_.limits);
        archive.SetResync(options_.resync);
        if (archive.OpenCopyOf(scanned)) Extract(archive);
        archive.CloseArchive(false);
    }

    void Finish() { results_.Flush(); }
    bool Stopped() const { return stop_; }

private:
    bool AskStop(std::uint32_t index) {
        try {
            if (observer_.StopBefore(index)) stop_ = true;
        } catch (const SalvageStopped&) {
            stop_ = true;
        }
        return stop_;
    }

    const std::vector<std::uint32_t>& selection_;
    const ExtractPlan& plan_;
    EntrySink& destination_;
    const SalvageOptions& options_;
    SalvageObserver& observer_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> nextGroup_{0};
    OrderedResults results_;
};

std::vector<std::uint32_t> SelectedEntries(const CZipArchive& archive, const SalvageOptions& options) {
    if (!options.selection.empty()) {
        std::vector<std::uint32_t> selection;
        for (std::uint32_t index : options.selection)
            if (archive.centralDir.IsValidIndex(index)) selection.push_back(index);
        return selection;
    }
    std::vector<std::uint32_t> every(archive.GetCount());
    for (std::uint32_t i = 0; i < every.size(); ++i) every[i] = i;
    return every;
}

// The entries' stored names, empty for those that write no file, for the
// plan that keeps entries writing one file on one thread.
std::vector<std::string> PlannedNames(const CZipArchive& archive, const std::vector<std::uint32_t>& selection,
                                      bool passwordsAsked) {
    std::vector<std::string> names;
    names.reserve(selection.size());
    for (std::uint32_t index : selection) {
        const CFileHeader& entry = archive.centralDir.Entry(index);
        names.push_back(ExtractSkipVerdict(entry, passwordsAsked) ? std::string() : entry.fileName);
    }
    return names;
}

// With several threads, entries writing one file stay together on one
// thread, so that the later one writes last. One thread takes the entries
// in order, each handed on before the next starts: what the observer is
// handed is still the file the entry wrote, not a later entry's.
ExtractPlan PlanFor(const CZipArchive& archive, const std::vector<std::uint32_t>& selection,
                    const SalvageOptions& options) {
    ExtractPlan plan;
    if (options.threads > 1)
        plan = PlanExtraction(PlannedNames(archive, selection, options.passwords != nullptr), options.threads);
    if (plan.threads > 1) return plan;
    plan.groups.assign(1, {});
    for (std::uint32_t position = 0; position < selection.size(); ++position) plan.groups[0].push_back(position);
    plan.threads = 1;
    return plan;
}

// With several threads the password is asked for before any entry starts,
// when an entry needs one: a prompt then never meets result lines handed on
// by other threads. The source answers once per archive.
void AskPasswordFirst(const CZipArchive& archive, const std::vector<std::uint32_t>& selection,
                      PasswordSource& passwords) {
    for (std::uint32_t index : selection) {
        const CFileHeader& entry = archive.centralDir.Entry(index);
        if (!PasswordOpens(entry) || ExtractSkipVerdict(entry, true) || IsEmptyFile(entry)) continue;
        passwords.PasswordFor(archive.storage.Path(), entry.fileName);
        return;
    }
}

}  // namespace

SalvageResult SalvageEntries(CZipArchive& archive, EntrySink& destination, const SalvageOptions& options,
                             SalvageObserver& observer) {
    SalvageResult result;
    archive.SetPasswordSource(options.passwords);
    archive.SetExpansionLimits(options.limits);
    archive.SetResync(options.resync);
    const std::vector<std::uint32_t> selection = SelectedEntries(archive, options);
    const ExtractPlan plan = PlanFor(archive, selection, options);
    if (plan.threads > 1 && options.passwords != nullptr) AskPasswordFirst(archive, selection, *options.passwords);
    if (options.keepEntries) result.entries.reserve(selection.size());

    SharedWork work(selection, plan, destination, options, observer, result);
    std::vector<std::thread> helpers;
    try {
        for (unsigned t = 1; t < plan.threads; ++t) helpers.emplace_back([&work, &archive] { work.Help(archive); });
    } catch (const std::system_error&) {
        // No more threads to be had: the ones running share the work.
    }
    work.Extract(archive);
    for (std::thread& helper : helpers) helper.join();
    work.Finish();
    result.stopped = work.Stopped();
    return result;
}

}  // namespace tessaly
