#include "ui/skin/AppIcon.h"

#include <wx/image.h>

#include "res/icon/IconDesign.h"

namespace tessaly {

wxBitmap AppIconBitmap(int size) {
    const std::vector<std::uint8_t> rgba = IconRgba(size);
    wxImage image(size, size);
    image.InitAlpha();
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* pixel = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            image.SetRGB(x, y, pixel[0], pixel[1], pixel[2]);
            image.SetAlpha(x, y, pixel[3]);
        }
    }
    return wxBitmap(image);
}

wxIconBundle AppIcons() {
    wxIconBundle icons;
    for (const int size : {16, 32, 48, 64}) {
        wxIcon icon;
        icon.CopyFromBitmap(AppIconBitmap(size));
        icons.AddIcon(icon);
    }
    return icons;
}

}  // namespace tessaly
