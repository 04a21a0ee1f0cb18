#include "archive/output/OutputDestination.h"

#include <optional>
#include <system_error>
#include <utility>

#include "archive/EntryName.h"
#include "platform/FileSystem.h"
#include "platform/OutputTree.h"

namespace tessaly {
namespace {

// A file written under another name than the entry's own says so, with the
// name it has on disk.
std::string RenamingNote(const CFileHeader& entry, const std::filesystem::path& relative) {
    if (relative == SafeRelativePath(entry.fileName)) return {};
    const auto written = relative.generic_u8string();
    return "written as " + std::string(written.begin(), written.end());
}

}  // namespace

OutputDestination::OutputDestination(std::filesystem::path folder, NameRules rules, bool makeMissing)
    : folder_(std::move(folder)), names_(rules), makeMissing_(makeMissing) {}

// A file takes a name of its own in this destination; the same entry name
// again takes the same file.
bool OutputDestination::OpenFile(const CFileHeader& entry, CFile& file, ExtractReport& report) {
    const std::filesystem::path relative = names_.Claim(entry.fileName);
    if (!Create(relative, &file, report)) return false;
    report.outputPath = file.GetFilePath();
    report.outputNote = RenamingNote(entry, relative);
    return true;
}

// Folder entries name a folder, which any number of them share.
bool OutputDestination::MakeFolder(const CFileHeader& entry, ExtractReport& report) {
    const std::filesystem::path relative = OutputRelativePath(entry.fileName, names_.Rules());
    if (!Create(relative, nullptr, report)) return false;
    report.outputPath = folder_ / relative;
    report.outputNote = RenamingNote(entry, relative);
    return true;
}

bool OutputDestination::Create(const std::filesystem::path& relative, CFile* file, ExtractReport& report) {
    std::optional<COutputTree> tree(std::in_place, folder_);
    if (!tree->IsOpen() && makeMissing_ && CreateFolderTree(folder_)) tree.emplace(folder_);
    const OutputStatus status =
        file != nullptr ? tree->CreateOutputFile(relative, *file) : tree->CreateFolders(relative);
    if (status == OutputStatus::Created) return true;
    report.outcome = ExtractOutcome::Failed;
    report.detail = status == OutputStatus::PassesThroughLink
                        ? kPassesThroughLinkText
                        : "cannot create " + PathToUtf8(folder_ / relative) + ": " +
                              std::system_category().message(tree->LastError());
    return false;
}

}  // namespace tessaly
