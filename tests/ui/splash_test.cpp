#include <gtest/gtest.h>
#include <wx/display.h>

#include "UiTestSupport.h"
#include "ui/controls/SplashScreenEx.h"

namespace tessaly {
namespace {

const wxColour kKey(255, 0, 240);

// A `width` x `height` picture: a key-coloured border `border` pixels wide
// around grey content.
wxImage FramedPicture(int width, int height, int border) {
    wxImage picture(width, height);
    picture.SetRGB(wxRect(0, 0, width, height), kKey.Red(), kKey.Green(), kKey.Blue());
    const wxRect inner(border, border, width - 2 * border, height - 2 * border);
    if (!inner.IsEmpty()) picture.SetRGB(inner, 90, 90, 90);
    return picture;
}

TEST(SplashRegion, KeyColouredBorderShapesTheWindowLikeTheInnerPicture) {
    const struct { int width, height, border; } cases[] = {{40, 30, 3}, {41, 17, 1}, {10, 10, 0}};
    for (const auto& c : cases) {
        const wxImage picture = FramedPicture(c.width, c.height, c.border);
        const wxRect inner(c.border, c.border, c.width - 2 * c.border, c.height - 2 * c.border);
        const wxRegion shape = CSplashScreenEx::ShapeOf(picture, kKey);
        EXPECT_EQ(shape.GetBox(), inner) << c.width << "x" << c.height << " border " << c.border;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(shape.Contains(x, y) == wxInRegion, inner.Contains(x, y)) << x << "," << y;
    }
}

TEST(SplashRegion, RunsAreRowsFromTheBottomUp) {
    wxImage picture(6, 2);
    picture.SetRGB(wxRect(0, 0, 6, 2), 1, 2, 3);
    picture.SetRGB(1, 0, kKey.Red(), kKey.Green(), kKey.Blue());  // row 0: 1 run | key | 4 run
    picture.SetRGB(5, 1, kKey.Red(), kKey.Green(), kKey.Blue());  // row 1: key in last column
    const std::vector<wxRect> runs = CSplashScreenEx::OpaqueRuns(picture, kKey);
    const std::vector<wxRect> expected = {wxRect(0, 1, 5, 1), wxRect(0, 0, 1, 1), wxRect(2, 0, 4, 1)};
    EXPECT_EQ(runs, expected);
}

TEST(SplashRegion, NoKeyPixelsGiveARectangleAllKeyPixelsNothing) {
    EXPECT_EQ(CSplashScreenEx::ShapeOf(FramedPicture(30, 20, 0), kKey).GetBox(), wxRect(0, 0, 30, 20));
    EXPECT_TRUE(CSplashScreenEx::ShapeOf(FramedPicture(30, 20, 10), kKey).IsEmpty());
}

class SplashWindowTest : public ::testing::Test {
protected:
    SplashWindowTest() { test::SaveBmp(FramedPicture(120, 80, 4), picture); }
    static bool Exists(const wxWindow* window) {
        for (const wxWindow* top : wxTopLevelWindows)
            if (top == window) return true;
        return false;
    }

    test::ScratchFolder folder;
    const std::filesystem::path picture = folder.Path() / "Flash.bmp";
};

TEST_F(SplashWindowTest, ShowsCentredShapedAndHidesOnClick) {
    auto* splash = new CSplashScreenEx;
    ASSERT_TRUE(
        splash->Create(nullptr, "", 0, SPLASH_FADE_IN | SPLASH_FADE_OUT | SPLASH_CENTER_SCREEN | SPLASH_HIDE_ON_CLICK));
    EXPECT_FALSE(splash->SetBitmap(wxString((folder.Path() / "none.bmp").native()), 255, 0, 240));
    ASSERT_TRUE(splash->SetBitmap(wxString(picture.native()), 255, 0, 240));
    const wxRect screen = wxGetClientDisplayRect();
    EXPECT_EQ(splash->SplashPosition(),
              wxPoint(screen.x + (screen.width - 120) / 2, screen.y + (screen.height - 80) / 2));
    EXPECT_EQ(splash->Shape().GetBox(), wxRect(4, 4, 112, 72));

    splash->Show();
    EXPECT_TRUE(splash->IsShown());
    EXPECT_EQ(splash->GetSize(), wxSize(120, 80));

    wxMouseEvent click(wxEVT_LEFT_DOWN);
    click.SetEventObject(splash);
    splash->GetEventHandler()->ProcessEvent(click);
    EXPECT_TRUE(test::PumpUntil([&] { return !Exists(splash); }));
}

TEST_F(SplashWindowTest, PlacesItselfOnTheScreenOnTheOwnerOrAtTheOrigin) {
    test::HostFrame owner;
    owner.Frame()->SetSize(100, 50, 400, 300);
    test::PumpFor(20);
    const wxRect screen = wxGetClientDisplayRect();
    const wxRect ownerRect = owner.Frame()->GetScreenRect();
    const struct {
        unsigned style;
        wxPoint expected;
    } cases[] = {
        {SPLASH_CENTER_SCREEN | SPLASH_CENTER_OWNER,
         {screen.x + (screen.width - 120) / 2, screen.y + (screen.height - 80) / 2}},
        {SPLASH_CENTER_OWNER, {ownerRect.x + (ownerRect.width - 120) / 2, ownerRect.y + (ownerRect.height - 80) / 2}},
        {0, {0, 0}},
    };
    for (const auto& c : cases) {
        auto* splash = new CSplashScreenEx;
        ASSERT_TRUE(splash->Create(owner.Frame(), "", 0, c.style));
        ASSERT_TRUE(splash->SetBitmap(wxString(picture.native())));
        EXPECT_EQ(splash->SplashPosition(), c.expected) << "style " << c.style;
        splash->Hide();
    }
}

TEST_F(SplashWindowTest, HidesItselfAfterTheTimeout) {
    auto* splash = new CSplashScreenEx;
    ASSERT_TRUE(splash->Create(nullptr, "Starting", 150, SPLASH_CENTER_SCREEN));
    ASSERT_TRUE(splash->SetBitmap(wxString(picture.native())));
    EXPECT_TRUE(splash->Shape().IsEmpty()) << "no colour key, no shape";
    splash->Show();
    EXPECT_TRUE(Exists(splash));
    EXPECT_TRUE(test::PumpUntil([&] { return !Exists(splash); }));
}

TEST_F(SplashWindowTest, DrawsItsTextOverThePicture) {
    auto* splash = new CSplashScreenEx;
    ASSERT_TRUE(splash->Create(nullptr, "Starting up", 0, 0));
    ASSERT_TRUE(splash->SetBitmap(wxString(picture.native()), 255, 0, 240));
    splash->SetTextColour(wxColour(255, 255, 0));
    const wxImage image = test::RenderToImage(wxSize(120, 80), [&](wxDC& dc) { splash->Render(dc); });
    EXPECT_EQ(test::PixelAt(image, 1, 1), kKey);
    EXPECT_GT(test::CountColour(image, wxRect(0, 0, 120, 80), wxColour(255, 255, 0)), 10);
    splash->Hide();
}

}  // namespace
}  // namespace tessaly
