// One destination folder of a salvage: the entries' names mapped to files
// the file system can hold (COutputNames), the folder tree made below the
// destination without following any link already there (COutputTree), and
// the files opened there. Made once per destination and shared by the
// threads that extract into it; the archive object reaches it only as an
// EntrySink.
#pragma once

#include <filesystem>

#include "archive/output/EntrySink.h"
#include "archive/output/OutputNames.h"

namespace tessaly {

class OutputDestination : public EntrySink {
public:
    // The destination is made when missing (by the first output) unless
    // `makeMissing` is false; the wizard makes its folder itself and writes
    // nothing where that failed.
    explicit OutputDestination(std::filesystem::path folder, NameRules rules = NameRules::ForThisSystem(),
                               bool makeMissing = true);

    const std::filesystem::path& Folder() const { return folder_; }

    bool OpenFile(const CFileHeader& entry, CFile& file, ExtractReport& report) override;
    bool MakeFolder(const CFileHeader& entry, ExtractReport& report) override;

private:
    // The file (or, without `file`, the folders) at `relative`; on failure
    // the report says why.
    bool Create(const std::filesystem::path& relative, CFile* file, ExtractReport& report);

    std::filesystem::path folder_;
    COutputNames names_;
    bool makeMissing_;
};

}  // namespace tessaly
