#include "archive/salvage/FaultText.h"

#include <system_error>

#include "archive/ZipException.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly {

namespace {

// The archive error's text without the archive's name in front (the output
// names the archive already) and without the internal cause number behind.
std::string ArchiveFaultDetail(const CZipException& fault) {
    std::string text = fault.what();
    const std::string prefix = fault.FileName().string() + ": ";
    if (!fault.FileName().empty() && text.compare(0, prefix.size(), prefix) == 0) text.erase(0, prefix.size());
    const std::size_t cause = text.rfind(" (cause ");
    if (cause != std::string::npos && text.back() == ')') text.erase(cause);
    return text;
}

}  // namespace

std::string FaultText(const CZipException& fault) {
    std::string text = ArchiveFaultDetail(fault);
    if (text.empty()) text = "damaged archive data";
    const std::string offset = std::to_string(fault.Offset());
    if (fault.Offset() != CZipException::kNoOffset && text.find(offset) == std::string::npos)
        text += " at offset " + offset;
    return text;
}

std::string FaultText(const CFileException& fault) {
    std::string text = fault.what();
    const std::string path = PathToUtf8(fault.Path());
    if (!path.empty() && text.find(path) == std::string::npos) text = path + ": " + text;
    return text;
}

std::string OsErrorText(int osError) { return std::system_category().message(osError); }

}  // namespace tessaly
