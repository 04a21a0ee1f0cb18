// Where extraction puts an entry: the archive object decodes the entry and
// asks its sink for the file (or folder) the bytes go to. The sink owns the
// naming of outputs and the place they are made in; the archive object
// never sees a destination folder.
#pragma once

#include "archive/ExtractReport.h"
#include "archive/FileHeader.h"
#include "platform/File.h"

namespace tessaly {

class EntrySink {
public:
    virtual ~EntrySink() = default;

    // A fresh, empty file for `entry`'s bytes, open for writing and reading
    // back in `file`. Sets `report.outputPath` (and `report.outputNote` when
    // the file's name is not the entry's own). False, with
    // `report.outcome` Failed and `report.detail` saying why, when it
    // cannot be made.
    virtual bool OpenFile(const CFileHeader& entry, CFile& file, ExtractReport& report) = 0;
    // The folder a folder entry names, made when missing; as OpenFile.
    virtual bool MakeFolder(const CFileHeader& entry, ExtractReport& report) = 0;
};

}  // namespace tessaly
