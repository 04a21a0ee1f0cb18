// Colours as the controls keep them: 32-bit values laid out 0x00BBGGRR, with
// COLOR_DEFAULT meaning "use the system colour the control names for it".
// Only conversion helpers live here; no control state.
#pragma once

#include <cstdint>

#include <wx/colour.h>
#include <wx/settings.h>

namespace tessaly {

using ColorRef = std::uint32_t;

constexpr ColorRef COLOR_DEFAULT = 0xFF000000u;

constexpr ColorRef MakeColorRef(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}

inline wxColour ToColour(ColorRef value) {
    return wxColour(value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu);
}

inline ColorRef ToColorRef(const wxColour& colour) { return MakeColorRef(colour.Red(), colour.Green(), colour.Blue()); }

// `value`, or the system colour `fallback` when value is COLOR_DEFAULT.
inline wxColour ResolveColour(ColorRef value, wxSystemColour fallback) {
    return value == COLOR_DEFAULT ? wxSystemSettings::GetColour(fallback) : ToColour(value);
}

}  // namespace tessaly
