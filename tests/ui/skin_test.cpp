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
    // The picture has the dialog's client size, as the program's pictures
    // have under GTK: it is painted pixel for pixel.
    SkinTest() : dialog(new RecordingDialog) {
        const wxSize client = dialog->GetClientSize();
        test::SaveBmp(test::PatternPicture(client.x, client.y), folder.Path() / "about.bmp");
    }
    ~SkinTest() override { dialog->Destroy(); }

    ScratchFolder folder;
    RecordingDialog* dialog;
};

TEST_F(SkinTest, PictureOfTheClientSizePaintsPixelForPixel) {
    ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "about.bmp"));
    const wxSize client = dialog->GetClientSize();
    const wxImage image = RenderToImage(client, [&](wxDC& dc) { dialog->Skin().DrawBackground(dc, wxRect(client)); });
    for (const wxPoint p : {wxPoint(0, 0), wxPoint(client.x - 1, client.y - 1), wxPoint(77, 33)})
        EXPECT_EQ(PixelAt(image, p.x, p.y), PatternColour(p.x, p.y)) << p.x << "," << p.y;
}

// A picture drawn for other dialog-unit sizes (GTK's, shown on Windows) is
// fitted to the client area: nothing of it is cut off and nothing of the
// dialog is left uncovered.
TEST_F(SkinTest, PictureOfAnotherSizeIsFittedToTheClientArea) {
    const wxSize client = dialog->GetClientSize();
    for (const wxSize drawn : {wxSize(client.x * 3 / 2, client.y * 5 / 4), wxSize(client.x / 2, client.y / 3)}) {
        wxImage halves(drawn.x, drawn.y);
        halves.SetRGB(wxRect(0, 0, drawn.x / 2, drawn.y), 200, 0, 0);
        halves.SetRGB(wxRect(drawn.x / 2, 0, drawn.x - drawn.x / 2, drawn.y), 0, 0, 200);
        test::SaveBmp(halves, folder.Path() / "fitted.bmp");
        ASSERT_TRUE(dialog->LoadBackground(folder.Path(), "fitted.bmp"));
        EXPECT_EQ(dialog->Skin().Background().GetSize(), client);
        const wxImage image =
            RenderToImage(client, [&](wxDC& dc) { dialog->Skin().DrawBackground(dc, wxRect(client)); });
        EXPECT_EQ(PixelAt(image, 2, client.y - 3), wxColour(200, 0, 0)) << drawn.x;
        EXPECT_EQ(PixelAt(image, client.x - 3, client.y - 3), wxColour(0, 0, 200)) << "the far corner, " << drawn.x;
    }
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
#ifdef _WIN32
    // Windows finds a file whatever the case of its name.
    EXPECT_TRUE(dialog->LoadBackground(folder.Path(), "ABOUT.BMP"));
    for (const char* name : {"missing.bmp", ""}) {
#else
    for (const char* name : {"ABOUT.BMP", "missing.bmp", ""}) {
#endif
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
    test::SaveBmp(test::PatternPicture(100, 80), folder.Path() / "preview.bmp");  // the panel's size
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
