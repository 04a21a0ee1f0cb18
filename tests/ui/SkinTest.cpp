#include <fstream>

#include <memory>

#include <gtest/gtest.h>
#include <wx/panel.h>

#include "UiTestSupport.h"
#include "ui/controls/TransparentStatic.h"
#include "ui/controls/TransparentStatic2.h"
#include "ui/skin/SkinnedDialog.h"

namespace tessaly {
namespace {

using test::PatternColour;
using test::PixelAt;
using test::RenderToImage;
using test::ScratchFolder;

// A skinned dialog that records the areas it is asked to repaint.
class RecordingDialog : public CSkinnedDialog {
public:
    RecordingDialog() { Create(nullptr, wxID_ANY, "skin test", 200, 120); }
    void Refresh(bool erase = true, const wxRect* rect = nullptr) override {
        if (rect) refreshed.push_back(*rect);
        CSkinnedDialog::Refresh(erase, rect);
    }
    std::vector<wxRect> refreshed;
};

class SkinTest : public ::testing::Test {
protected:
    SkinTest() : dialog(new RecordingDialog) {
        test::SaveBmp(test::PatternPicture(150, 100), folder.Path() / "about.bmp");
    }
    ~SkinTest() override { dialog->Destroy(); }

    ScratchFolder folder;
    RecordingDialog* dialog;
};

TEST_F(SkinTest, PicturePaintsUnscaledAtTheOriginAndTheRestKeepsTheDialogColour) {
    ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "about.bmp"));
    const wxImage image =
        RenderToImage(wxSize(200, 120), [&](wxDC& dc) { dialog->Skin().DrawBackground(dc, wxRect(0, 0, 200, 120)); });
    for (const wxPoint p : {wxPoint(0, 0), wxPoint(149, 99), wxPoint(77, 33)})
        EXPECT_EQ(PixelAt(image, p.x, p.y), PatternColour(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_EQ(PixelAt(image, 150, 10), dialog->GetBackgroundColour());
    EXPECT_EQ(PixelAt(image, 10, 100), dialog->GetBackgroundColour());
}

TEST_F(SkinTest, PartialAreaUsesClientCoordinates) {
    ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "about.bmp"));
    const wxImage image = RenderToImage(wxSize(20, 10), [&](wxDC& dc) {
        dc.SetDeviceOrigin(-40, -30);
        dialog->Skin().DrawBackground(dc, wxRect(40, 30, 20, 10));
    });
    EXPECT_EQ(PixelAt(image, 0, 0), PatternColour(40, 30));
    EXPECT_EQ(PixelAt(image, 19, 9), PatternColour(59, 39));
}

TEST_F(SkinTest, MissingOrMisnamedPictureLeavesTheNormalBackground) {
    ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "about.bmp"));
    for (const char* name : {"ABOUT.BMP", "missing.bmp", ""}) {
        EXPECT_FALSE(dialog->LoadBackground(folder.Path(), name)) << name;
        EXPECT_FALSE(dialog->HasBackground()) << name;
    }
    std::ofstream(folder.Path() / "broken.bmp") << "BM not really a bitmap";
    EXPECT_FALSE(dialog->LoadBackground(folder.Path(), "broken.bmp"));
    const wxImage image =
        RenderToImage(wxSize(50, 50), [&](wxDC& dc) { dialog->Skin().DrawBackground(dc, wxRect(0, 0, 50, 50)); });
    EXPECT_EQ(PixelAt(image, 25, 25), dialog->GetBackgroundColour());
}

TEST_F(SkinTest, ClientAreaFollowsTheTemplateInDialogUnits) {
    EXPECT_EQ(dialog->GetClientSize(), dialog->ConvertDialogToPixels(wxSize(200, 120)));
}

TEST_F(SkinTest, TransparentStaticRepaintsTheDialogBehindItOnTextChange) {
    auto* label = new CTransparentStatic(dialog, wxID_ANY, "a rather long old text", wxPoint(10, 20), wxSize(160, 16),
                                         wxST_NO_AUTORESIZE);
    dialog->refreshed.clear();
    label->SetLabel("short");
    ASSERT_FALSE(dialog->refreshed.empty());
    EXPECT_TRUE(dialog->refreshed.back().Contains(label->GetRect()));
}

TEST_F(SkinTest, TransparentStatic2LeavesNoRemainsOfALongerOldText) {
    ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "about.bmp"));
    auto* label = new CTransparentStatic2(dialog, wxID_ANY, "WWWWWWWWWWWWWWWW", wxPoint(10, 20), wxSize(130, 20));
    label->SetForegroundColour(*wxBLACK);
    const wxSize size = label->GetSize();
    auto render = [&] { return RenderToImage(size, [&](wxDC& dc) { label->Render(dc, size); }); };
    const wxImage longText = render();
    label->SetLabel("W");
    const wxImage shortText = render();
    // Right of the short text every pixel is the picture again; the long text
    // had drawn there.
    int differsFromPicture = 0, oldTextPixels = 0;
    for (int y = 0; y < size.y; ++y) {
        for (int x = 40; x < size.x; ++x) {
            const wxColour behind = PatternColour(10 + x, 20 + y);
            differsFromPicture += PixelAt(shortText, x, y) != behind;
            oldTextPixels += PixelAt(longText, x, y) != behind;
        }
    }
    EXPECT_GT(oldTextPixels, 50);
    EXPECT_EQ(differsFromPicture, 0);
}

TEST_F(SkinTest, ControlsInsideAnInnerWindowGetThePictureAtTheirPlace) {
    ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "about.bmp"));
    auto* inner = new wxPanel(dialog, wxID_ANY, wxPoint(10, 10), wxSize(80, 60));
    auto* label = new CTransparentStatic2(inner, wxID_ANY, "", wxPoint(5, 6), wxSize(20, 10));
    const wxImage image = RenderToImage(wxSize(20, 10), [&](wxDC& dc) { label->Render(dc, wxSize(20, 10)); });
    EXPECT_EQ(PixelAt(image, 0, 0), PatternColour(15, 16));
    EXPECT_EQ(PixelAt(image, 19, 9), PatternColour(34, 25));
}

TEST(DialogSkin, WorksOnAPanelAndSurvivesEitherEndingFirst) {
    ScratchFolder folder;
    test::SaveBmp(test::PatternPicture(60, 40), folder.Path() / "preview.bmp");
    test::HostFrame host;
    for (const bool windowGoesFirst : {true, false}) {
        auto* panel = new wxPanel(host.Get(), wxID_ANY, wxPoint(0, 0), wxSize(100, 80));
        auto* label = new CTransparentStatic2(panel, wxID_ANY, "", wxPoint(5, 6), wxSize(20, 10));
        auto skin = std::make_unique<CDialogSkin>();
        skin->Attach(panel);
        ASSERT_TRUE(skin->LoadBackground(folder.Path(), "preview.bmp"));
        EXPECT_EQ(CDialogSkin::Of(label), skin.get());
        const wxImage image = RenderToImage(wxSize(20, 10), [&](wxDC& dc) { label->Render(dc, wxSize(20, 10)); });
        EXPECT_EQ(PixelAt(image, 0, 0), PatternColour(5, 6));
        if (windowGoesFirst) {
            panel->Destroy();
            test::PumpFor(5);
            skin.reset();
        } else {
            skin.reset();
            EXPECT_EQ(CDialogSkin::Of(label), nullptr);
            panel->Destroy();
            test::PumpFor(5);
        }
    }
}

}  // namespace
}  // namespace tessaly
