// The About entry of a window's system menu.
#pragma once

#include <functional>

class wxTopLevelWindow;

namespace tessaly {

// Where the window system gives windows a system menu (Windows), appends a
// separator and "&About Tessaly For Zip..." to `window`'s, which calls
// `showAbout`; a second call adds nothing. GTK gives none: Help > About Us
// is the way in there.
void AddSystemMenuAbout(wxTopLevelWindow& window, std::function<void()> showAbout);

// The entry's command, as the window receives it.
inline constexpr int kSystemMenuAbout = 16;

}  // namespace tessaly
