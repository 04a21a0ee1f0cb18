#include <filesystem>

#include <gtest/gtest.h>
#include <wx/image.h>

#include "UiTestSupport.h"
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

}  // namespace
}  // namespace tessaly
