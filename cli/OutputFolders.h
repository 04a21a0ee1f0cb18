// Where extract writes each archive's entries: into the destination itself
// for one archive, into a folder named after each archive (its file name
// without the extension) for several. Names are made safe and distinct, so
// two archives never share a folder and no folder lies outside the
// destination.
#pragma once

#include <filesystem>
#include <vector>

namespace tessaly::cli {

std::vector<std::filesystem::path> OutputFolders(const std::filesystem::path& destination,
                                                 const std::vector<std::filesystem::path>& archives);

}  // namespace tessaly::cli
