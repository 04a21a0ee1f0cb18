#include "cli/ErrorText.h"

#include <system_error>

#include "archive/ZipException.h"
#include "platform/FileException.h"
#include "platform/FileSystem.h"

namespace tessaly::cli {

std::string FaultText(const CZipException& fault) {
    std::string text = fault.what();
    if (text.empty()) text = "damaged archive data";
    const std::string offset = std::to_string(fault.offset());
    if (fault.offset() != CZipException::kNoOffset && text.find(offset) == std::string::npos)
        text += " at offset " + offset;
    return text;
}

std::string FaultText(const CFileException& fault) {
    std::string text = fault.what();
    const std::string path = PathToUtf8(fault.path());
    if (!path.empty() && text.find(path) == std::string::npos) text = path + ": " + text;
    return text;
}

std::string OsErrorText(int osError) {
    return std::system_category().message(osError);
}

}  // namespace tessaly::cli
