// Opening a text file in the desktop's viewer: Notepad on Windows, the
// default application for text files elsewhere (xdg-open). Starts the viewer
// and returns without waiting for it.
#pragma once

#include <filesystem>

namespace tessaly {

// False when the viewer could not be started.
bool OpenInTextViewer(const std::filesystem::path& file);

}  // namespace tessaly
