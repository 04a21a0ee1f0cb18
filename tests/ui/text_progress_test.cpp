#include <gtest/gtest.h>
#include <wx/gauge.h>

#include "UiTestSupport.h"
#include "ui/controls/TextProgressCtrl.h"

namespace tessaly {
namespace {

using test::CountColour;
using test::HostFrame;
using test::PixelAt;
using test::RenderToImage;

const wxColour kBar(200, 30, 40);
const wxColour kBack(250, 250, 240);

// Counts the redraw requests the control makes of itself.
class CountingProgress : public CTextProgressCtrl {
public:
    using CTextProgressCtrl::CTextProgressCtrl;
    void Refresh(bool erase = true, const wxRect* rect = nullptr) override {
        ++redraws;
        CTextProgressCtrl::Refresh(erase, rect);
    }
    int redraws = 0;
};

class TextProgressTest : public ::testing::Test {
protected:
    TextProgressTest() : bar(new CountingProgress(host.Get(), wxID_ANY, wxPoint(0, 0), wxSize(200, 28))) {
        // A large font makes the centred "42 %" reach across the boundary at 84.
        host->SetFont(wxFontInfo(wxSize(0, 22)).Bold());
        bar->SetBarColor(ToColorRef(kBar));
        bar->SetBkColor(ToColorRef(kBack));
        test::PumpFor(10);
    }
    wxImage Render() const {
        return RenderToImage(wxSize(200, 28), [&](wxDC& dc) { bar->Render(dc, wxSize(200, 28)); });
    }

    HostFrame host;
    CountingProgress* bar;
};

TEST_F(TextProgressTest, FortyTwoPercentFillsEightyFourPixelsWithInvertedText) {
    ASSERT_EQ(bar->GetClientSize().GetWidth(), 200);
    bar->SetPos(42);
    EXPECT_EQ(bar->BarWidth(), 84);

    const wxImage image = Render();
    EXPECT_EQ(PixelAt(image, 83, 0), kBar);
    EXPECT_EQ(PixelAt(image, 84, 0), kBack);
    EXPECT_EQ(PixelAt(image, 199, 0), kBack);
    // Text left of the boundary is drawn in the background colour over the
    // bar, text right of it in the bar colour over the background.
    const wxRect filled(0, 0, 84, 28), empty(84, 0, 116, 28);
    EXPECT_GT(CountColour(image, filled, kBack), 10);
    EXPECT_GT(CountColour(image, empty, kBar), 10);
    // Away from the text the two parts are plain.
    EXPECT_EQ(CountColour(image, wxRect(0, 0, 1, 28), kBar), 28);
    EXPECT_EQ(CountColour(image, wxRect(199, 0, 1, 28), kBack), 28);
}

TEST_F(TextProgressTest, ExplicitTextColourIsUsedOnBothSides) {
    const wxColour text(0, 90, 0);
    bar->SetTextColor(ToColorRef(text));
    bar->SetPos(42);
    const wxImage image = Render();
    EXPECT_GT(CountColour(image, wxRect(0, 0, 84, 28), text), 5);
    EXPECT_GT(CountColour(image, wxRect(84, 0, 116, 28), text), 5);
    EXPECT_EQ(CountColour(image, wxRect(84, 0, 116, 28), kBar), 0);
}

TEST_F(TextProgressTest, EmptyOrReversedRangeDrawsNothing) {
    const wxColour untouched(255, 0, 255);
    for (const auto& range : {std::pair{50, 50}, std::pair{80, 20}}) {
        bar->SetRange32(range.first, range.second);
        bar->SetPos(50);
        const wxImage image = Render();
        EXPECT_EQ(CountColour(image, wxRect(0, 0, 200, 28), untouched), 200 * 28)
            << range.first << ".." << range.second;
    }
}

TEST_F(TextProgressTest, RedrawsOnlyWhenTheFilledWidthChanges) {
    bar->SetRange32(0, 1000);  // one position is a fifth of a pixel
    bar->SetPos(420);
    const int afterFirst = bar->redraws;
    EXPECT_EQ(bar->BarWidth(), 84);
    bar->SetPos(420);  // same position
    bar->SetPos(424);  // 84.8 pixels: still 84
    EXPECT_EQ(bar->redraws, afterFirst);
    bar->SetPos(425);  // 85 pixels
    EXPECT_EQ(bar->redraws, afterFirst + 1);
    EXPECT_EQ(bar->BarWidth(), 85);
}

TEST_F(TextProgressTest, MessagesAnswerLikeTheClassicProgressBar) {
    EXPECT_EQ(bar->SetPos(10), 0);
    EXPECT_EQ(bar->OffsetPos(5), 10);
    EXPECT_EQ(bar->GetPos(), 15);
    EXPECT_EQ(bar->SetStep(7), 1);
    EXPECT_EQ(bar->StepIt(), 15);
    EXPECT_EQ(bar->GetPos(), 22);

    EXPECT_EQ(bar->SetRange(-5, 300), 0);
    CTextProgressCtrl::Range range;
    EXPECT_EQ(bar->GetRange(true, &range), -5);
    EXPECT_EQ(range.low, -5);
    EXPECT_EQ(range.high, 300);
    EXPECT_EQ(bar->GetRange(false), 300);
    EXPECT_EQ(bar->SetRange32(0, 100000), 0);
    EXPECT_EQ(bar->GetRange(false), 100000);

    EXPECT_EQ(bar->SetBarColor(0x123456), ToColorRef(kBar));
    EXPECT_EQ(bar->SetBarColor(COLOR_DEFAULT), 0x123456u);
    EXPECT_EQ(bar->SetBkColor(COLOR_DEFAULT), ToColorRef(kBack));
    EXPECT_EQ(bar->SetTextColor(0x00FF00), COLOR_DEFAULT);
    EXPECT_EQ(bar->SetTextColor(COLOR_DEFAULT), 0x00FF00u);
}

TEST(TextProgressWithoutWindow, PositionIsRefusedColoursAreStored) {
    CTextProgressCtrl bar;  // never created
    EXPECT_EQ(bar.SetPos(30), -1);
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(bar.StepIt(), -1);
    EXPECT_EQ(bar.SetBarColor(0x0000FF), COLOR_DEFAULT);
    EXPECT_EQ(bar.SetBarColor(0x00FF00), 0x0000FFu);
}

TEST(TextProgressVertical, FillsFromTheBottomWithoutText) {
    HostFrame host;
    auto* bar = new CTextProgressCtrl(host.Get(), wxID_ANY, wxPoint(0, 0), wxSize(20, 100), wxGA_VERTICAL);
    bar->SetBarColor(ToColorRef(kBar));
    bar->SetBkColor(ToColorRef(kBack));
    bar->SetPos(30);
    const wxImage image = RenderToImage(wxSize(20, 100), [&](wxDC& dc) { bar->Render(dc, wxSize(20, 100)); });
    EXPECT_EQ(CountColour(image, wxRect(0, 70, 20, 30), kBar), 20 * 30);
    EXPECT_EQ(CountColour(image, wxRect(0, 0, 20, 70), kBack), 20 * 70);
}

}  // namespace
}  // namespace tessaly
