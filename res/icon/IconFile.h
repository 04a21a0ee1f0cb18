// Writes the program's icon as a Windows icon file (.ico) holding one 32-bit
// image for each size, for the executable's resources.
#pragma once

#include <initializer_list>
#include <string>

namespace tessaly {

// The sizes Windows picks from: lists, title bars, the desktop, Explorer's
// large views.
inline constexpr std::initializer_list<int> kIconFileSizes = {16, 20, 24, 32, 40, 48, 64, 256};

bool WriteIconFile(const std::string& path, std::initializer_list<int> sizes = kIconFileSizes);

}  // namespace tessaly
