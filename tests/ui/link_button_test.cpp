#include <gtest/gtest.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

#include "UiTestSupport.h"
#include "ui/controls/URLLinkButton.h"

namespace tessaly {
namespace {

using test::CountColour;
using test::HostFrame;

class LinkButtonTest : public ::testing::Test {
protected:
    LinkButtonTest()
        : link(new CURLLinkButton(host.Get(), 1028, "sales@example.org", wxPoint(10, 10), wxSize(200, 24))) {
        host->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) {
            if (e.GetId() == 1028) ++activations;
        });
        test::PumpFor(10);
    }
    // How many pixels of the rendered link have exactly `colour`.
    int PixelsOf(const wxColour& colour) {
        const wxImage image =
            test::RenderToImage(wxSize(200, 24), [&](wxDC& dc) { link->Render(dc, wxSize(200, 24)); });
        return CountColour(image, wxRect(0, 0, 200, 24), colour);
    }
    bool SendKey(wxEventType type, int code) {
        wxKeyEvent key(type);
        key.m_keyCode = code;
        key.SetEventObject(link);
        return link->GetEventHandler()->ProcessEvent(key);
    }
    void SendMouse(wxEventType type) {
        wxMouseEvent mouse(type);
        mouse.SetPosition(wxPoint(5, 5));
        mouse.SetEventObject(link);
        link->GetEventHandler()->ProcessEvent(mouse);
    }

    HostFrame host;
    CURLLinkButton* link;
    int activations = 0;
};

TEST_F(LinkButtonTest, TextColourFollowsTheLinkState) {
    EXPECT_EQ(link->LinkColour(), wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT));
    EXPECT_EQ(link->VisitedColour(), wxColour(128, 0, 128));
    EXPECT_EQ(link->DisabledColour(), wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    EXPECT_NE(link->HoverColour(), link->LinkColour()) << "hovering must be visible";

    // Each step changes the state; the text is then drawn in that colour.
    const struct {
        const char* state;
        std::function<void()> enter;
        wxColour expected;
    } steps[] = {
        {"normal", [] {}, link->LinkColour()},
        {"hovered", [&] { SendMouse(wxEVT_ENTER_WINDOW); }, link->HoverColour()},
        {"left again", [&] { SendMouse(wxEVT_LEAVE_WINDOW); }, link->LinkColour()},
        {"visited", [&] { link->SetVisited(); }, link->VisitedColour()},
        {"visited, hovered", [&] { SendMouse(wxEVT_ENTER_WINDOW); }, link->HoverColour()},
        {"visited, left", [&] { SendMouse(wxEVT_LEAVE_WINDOW); }, link->VisitedColour()},
        {"disabled", [&] { link->Disable(); }, link->DisabledColour()},
    };
    for (const auto& step : steps) {
        step.enter();
        EXPECT_EQ(link->CurrentTextColour(), step.expected) << step.state;
        EXPECT_GT(PixelsOf(step.expected), 15) << step.state << ": text drawn in its colour";
    }
}

TEST_F(LinkButtonTest, SpaceAndEnterNeverActivateTheMouseDoes) {
    for (const int code : {WXK_SPACE, WXK_RETURN, WXK_NUMPAD_ENTER}) {
        EXPECT_TRUE(SendKey(wxEVT_KEY_DOWN, code)) << code << ": key-down is swallowed";
        EXPECT_TRUE(SendKey(wxEVT_KEY_UP, code)) << code << ": key-up is swallowed";
    }
    EXPECT_EQ(activations, 0);
    EXPECT_FALSE(SendKey(wxEVT_KEY_DOWN, 'A')) << "other keys pass on";

    SendMouse(wxEVT_LEFT_DOWN);
    SendMouse(wxEVT_LEFT_UP);
    EXPECT_EQ(activations, 1);
    SendMouse(wxEVT_LEFT_UP);  // a release without a press is no click
    EXPECT_EQ(activations, 1);
}

TEST_F(LinkButtonTest, RealPointerHoversAndClicks) {
    wxUIActionSimulator sim;
    host.Frame()->Raise();
    test::PumpFor(50);
    sim.MouseMove(link->GetScreenRect().GetLeftTop() + wxPoint(8, 8));
    EXPECT_TRUE(test::PumpUntil([&] { return link->IsHovered(); }));
    sim.MouseClick();
    EXPECT_TRUE(test::PumpUntil([&] { return activations == 1; }));
    sim.MouseMove(host->GetScreenRect().GetBottomRight() + wxPoint(40, 40));
    EXPECT_TRUE(test::PumpUntil([&] { return !link->IsHovered(); }));
}

}  // namespace
}  // namespace tessaly
