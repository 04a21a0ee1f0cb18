#include <filesystem>

#include <gtest/gtest.h>
#include <wx/image.h>

#include "UiTestSupport.h"
#include "res/icon/IconDesign.h"
#include "res/icon/IconFile.h"
#include "ui/controls/SplashScreenEx.h"

namespace tessaly {
namespace {

// The pictures the build put into the program folder: each loads as a BMP
// at the size of its dialog as laid out here.
TEST(InstalledPictures, EveryPictureLoadsAtItsDialogSize) {
    const struct {
        const char* name;
        int width, height;
    } pictures[] = {
        {"Browse.bmp", 968, 622},      {"preview.bmp", 968, 622},  {"about.bmp", 534, 405}, {"analysis.bmp", 428, 207},
        {"file-saving.bmp", 698, 445}, {"view-log.bmp", 372, 192}, {"Flash.bmp", 480, 280}, {"password.bmp", 400, 204},
    };
    for (const auto& p : pictures) {
        const std::filesystem::path path = std::filesystem::path(TESSALY_DATA_DIR) / p.name;
        wxImage image;
        ASSERT_TRUE(image.LoadFile(wxString(path.native()), wxBITMAP_TYPE_BMP)) << p.name;
        EXPECT_EQ(image.GetSize(), wxSize(p.width, p.height)) << p.name;
    }
}

TEST(InstalledPictures, SplashPictureIsFramedByTheColourKey) {
    wxImage image;
    ASSERT_TRUE(image.LoadFile(TESSALY_DATA_DIR "/Flash.bmp", wxBITMAP_TYPE_BMP));
    const wxColour key(255, 0, 240);
    for (const wxPoint corner : {wxPoint(0, 0), wxPoint(479, 0), wxPoint(0, 279), wxPoint(479, 279)})
        EXPECT_EQ(test::PixelAt(image, corner.x, corner.y), key);
    const wxRegion shape = CSplashScreenEx::ShapeOf(image, key);
    EXPECT_EQ(shape.GetBox(), wxRect(8, 8, 464, 264));
    EXPECT_EQ(shape.Contains(240, 140), wxInRegion);
    EXPECT_NE(shape.Contains(9, 9), wxInRegion) << "rounded corner";
}

// The Windows executable's icon file, read back by the toolkit's own icon
// reader: one image per size, in order, each the icon's pixels with their
// transparency (rows the right way up, colours not swapped).
TEST(InstalledPictures, IconFileHoldsTheIconAtEverySize) {
    const wxString path(TESSALY_DATA_DIR "/tessaly-zip.ico");
    ASSERT_EQ(wxImage::GetImageCount(path, wxBITMAP_TYPE_ICO), static_cast<int>(kIconFileSizes.size()));
    int index = 0;
    for (const int size : kIconFileSizes) {
        wxImage image;
        ASSERT_TRUE(image.LoadFile(path, wxBITMAP_TYPE_ICO, index++)) << size;
        ASSERT_EQ(image.GetSize(), wxSize(size, size));
        ASSERT_TRUE(image.HasAlpha()) << size;
        const std::vector<std::uint8_t> expected = IconRgba(size);
        int wrong = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const std::uint8_t* pixel = &expected[(static_cast<size_t>(y) * size + x) * 4];
                wrong += image.GetAlpha(x, y) != pixel[3] ||
                         (pixel[3] == 255 && (image.GetRed(x, y) != pixel[0] || image.GetGreen(x, y) != pixel[1] ||
                                              image.GetBlue(x, y) != pixel[2]));
            }
        EXPECT_EQ(wrong, 0) << size << " x " << size;
    }
    EXPECT_EQ(wxImage(path, wxBITMAP_TYPE_ICO).GetAlpha(0, 0), 0) << "the corner is clear";
}

}  // namespace
}  // namespace tessaly
