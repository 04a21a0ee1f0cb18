#include "platform/FileException.h"

#include <cstring>
#include <system_error>

namespace tessaly {

namespace {
std::string Describe(int osError, const std::filesystem::path& path, const std::string& operation) {
    std::string text = operation + " '" + path.string() + "': ";
    text += std::system_category().message(osError);
    return text;
}
}  // namespace

CFileException::CFileException(int osError, std::filesystem::path path, const std::string& operation)
    : std::runtime_error(Describe(osError, path, operation)), osError_(osError), path_(std::move(path)) {}

}  // namespace tessaly
