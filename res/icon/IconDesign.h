// The program's icon as pixels, with no toolkit: a rounded teal tile with a
// zip fastener running down a white sheet. The window icons and the icon
// file of the Windows executable are both drawn from it.
#pragma once

#include <cstdint>
#include <vector>

namespace tessaly {

// The icon at `size` x `size` pixels, rows top first, 4 bytes a pixel
// (red, green, blue, alpha), with a transparent surround.
std::vector<std::uint8_t> IconRgba(int size);

}  // namespace tessaly
