#include "archive/repair/ArchiveRepair.h"

#include <random>
#include <system_error>

#include "archive/ZipArchive.h"
#include "archive/output/EntrySink.h"
#include "archive/repair/ArchiveWriter.h"
#include "archive/repair/RepairWriter.h"
#include "archive/salvage/FaultText.h"
#include "archive/scan/ArchiveComment.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"
#include "platform/OutputTree.h"

namespace tessaly {
namespace fs = std::filesystem;

const char* RepairActionName(RepairAction action) {
    switch (action) {
        case RepairAction::Copied: return "copied";
        case RepairAction::CopiedUnverified: return "copied unverified";
        case RepairAction::Recompressed: return "recompressed";
        case RepairAction::Partial: return "partial";
        case RepairAction::LeftOut: return "left out";
    }
    return "left out";
}

std::optional<std::string> RepairRefusal(const fs::path& archive, const fs::path& output, bool replace) {
    const std::string name = PathToUtf8(output);
    if (output.filename().empty()) return name + " names no file";
    if (IsSameFile(archive, output)) return "the repaired archive cannot replace the archive it is made from";
    switch (KindOfFile(output)) {
        case FileKind::Missing: return std::nullopt;
        case FileKind::Regular:
            if (replace) return std::nullopt;
            return name + " exists already";
        default: return name + " is " + FileKindText(KindOfFile(output)) + ", not a file";
    }
}

namespace {

// A file of the repair's own beside the output, under a name nobody else
// uses, opened for reading and writing without following any link; gone
// again when the object is.
class ScratchFile {
public:
    ScratchFile(const fs::path& folder, const fs::path& output, const char* purpose) {
        std::random_device random;
        const std::string unique = std::to_string(random()) + std::to_string(random());
        relative_ = PathFromUtf8("." + PathToUtf8(output.filename()) + "." + purpose + "-" + unique);
        path_ = folder / relative_;
    }
    ~ScratchFile() { Remove(); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // A fresh, empty file, open in `file`; false when it cannot be made.
    bool Create(const fs::path& folder, CFile& file, int& error) {
        COutputTree tree(folder);
        const OutputStatus status = tree.CreateOutputFile(relative_, file);
        error = tree.LastError();
        made_ = made_ || status == OutputStatus::Created;
        return status == OutputStatus::Created;
    }
    void Remove() {
        std::error_code ignored;
        if (made_) fs::remove(path_, ignored);
        made_ = false;
    }
    void Forget() { made_ = false; }  // it has another name now
    const fs::path& Path() const { return path_; }

private:
    fs::path relative_;
    fs::path path_;
    bool made_ = false;
};

// Where the salvage writes each entry's bytes: one scratch file, made
// afresh for every entry. Folders are only recorded in the new archive.
class ScratchSink : public EntrySink {
public:
    ScratchSink(const fs::path& folder, ScratchFile& scratch) : folder_(folder), scratch_(scratch) {}

    bool OpenFile(const CFileHeader&, CFile& file, ExtractReport& report) override {
        int error = 0;
        if (scratch_.Create(folder_, file, error)) {
            report.outputPath = scratch_.Path();
            return true;
        }
        report.outcome = ExtractOutcome::Failed;
        report.detail = "cannot create " + PathToUtf8(scratch_.Path()) + ": " + std::system_category().message(error);
        return false;
    }
    bool MakeFolder(const CFileHeader&, ExtractReport&) override { return true; }

private:
    fs::path folder_;
    ScratchFile& scratch_;
};

std::string CannotMake(const fs::path& path, int error) {
    return "cannot create " + PathToUtf8(path) + ": " + std::system_category().message(error);
}

}  // namespace

RepairResult RepairArchive(CZipArchive& archive, const fs::path& output, const RepairOptions& options,
                           RepairObserver& observer) {
    RepairResult result;
    if (std::optional<std::string> refusal = RepairRefusal(archive.storage.Path(), output, options.replace)) {
        result.problem = *refusal;
        return result;
    }
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    if (!CreateFolderTree(folder)) {
        result.problem = "cannot create the folder " + PathToUtf8(folder);
        return result;
    }
    ScratchFile made(folder, output, "repair");
    ScratchFile scratch(folder, output, "entry");
    CFile file;
    int error = 0;
    if (!made.Create(folder, file, error)) {
        result.problem = CannotMake(made.Path(), error);
        return result;
    }

    ArchiveWriter writer(file);
    RepairWriter entries(archive, writer, scratch.Path(), options, observer);
    ScratchSink sink(folder, scratch);
    SalvageOptions salvage = options.salvage;
    salvage.threads = 1;
    const SalvageResult salvaged = SalvageEntries(archive, sink, salvage, entries);
    scratch.Remove();
    if (entries.Fault()) {
        result.problem = "cannot write the repaired archive: " + *entries.Fault();
        return result;
    }
    if (salvaged.stopped) {
        result.stopped = true;
        result.problem = "stopped; no repaired archive was written";
        return result;
    }
    if (writer.Count() == 0) {
        result.problem = "no entry could be salvaged; no repaired archive was written";
        return result;
    }
    try {
        writer.Finish(FindArchiveComment(archive.storage));
        file.Close();
    } catch (const CFileException& fault) {
        result.problem = "cannot write the repaired archive: " + FaultText(fault);
        return result;
    }
    std::error_code moved;
    if (!MoveIntoPlace(made.Path(), output, options.replace, moved)) {
        result.problem = "cannot name the repaired archive " + PathToUtf8(output) + ": " + moved.message();
        return result;
    }
    made.Forget();
    result.written = true;
    result.entries = writer.Count();
    result.length = writer.Position();
    return result;
}

}  // namespace tessaly
