// The message boxes a person sees: the real box (no answerer in between)
// carries the icon its message asks for, and its buttons answer.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/statbmp.h>
#include <wx/timer.h>

#include <atomic>
#include <string>
#include <vector>

#include "workflow/Message.h"
#include "workflow/dialogs/MessageBoxes.h"

namespace tessaly::test {
extern std::atomic<int> g_allowModal;
}

namespace tessaly::testwizard {
namespace {

// These tests show real boxes on purpose. Windows' own box is not a
// toolkit window a test can find and close, so they run elsewhere only.
class RealBoxes {
public:
    RealBoxes() { ++test::g_allowModal; }
    ~RealBoxes() { --test::g_allowModal; }
    RealBoxes(const RealBoxes&) = delete;
    RealBoxes& operator=(const RealBoxes&) = delete;
};

// The modal box up now, or null.
wxDialog* ShownBox() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) return dialog;
    return nullptr;
}

// Whether the box came up, and whether it carried an icon.
struct Seen {
    bool icon = false;
    bool shown = false;
};

Seen ShowAndClose(const Message& message, int button) {
    Seen seen;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxDialog* box = ShownBox();
        if (!box) return;
        seen.shown = true;
        for (wxWindow* child : box->GetChildren())
            if (auto* bitmap = dynamic_cast<wxStaticBitmap*>(child); bitmap && bitmap->GetBitmap().IsOk())
                seen.icon = true;
        timer.Stop();
        box->EndModal(button);
    });
    timer.Start(50);
    ShowMessageBox(nullptr, message);
    timer.Stop();
    return seen;
}

TEST(MessageBoxes, QuestionsNoticesAndWarningsCarryTheirIcons) {
#ifdef __WXMSW__
    GTEST_SKIP() << "the native box cannot be driven from the test";
#endif
    RealBoxes real;
    const Message messages[] = {Question("Do you want to exit ? ", " Tessaly for Zip"),
                                Notice("Saving aborted by user.", " Tessaly for Zip"),
                                CannotOpenSourceMessage("Permission denied"), FileAlreadyOpenMessage()};
    for (const Message& message : messages) {
        const Seen seen = ShowAndClose(message, message.buttons == MessageButtons::YesNo ? wxID_NO : wxID_OK);
        EXPECT_TRUE(seen.shown) << message.text;
        EXPECT_TRUE(seen.icon) << message.text;
    }
}

TEST(MessageBoxes, TheButtonPressedIsTheAnswer) {
#ifdef __WXMSW__
    GTEST_SKIP() << "the native box cannot be driven from the test";
#endif
    RealBoxes real;
    const Message question = Question("Do you want to exit ? ", " Tessaly for Zip");
    wxTimer timer;
    int press = wxID_YES;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (wxDialog* box = ShownBox()) box->EndModal(press);
    });
    timer.Start(50);
    EXPECT_EQ(ShowMessageBox(nullptr, question), MessageAnswer::Yes);
    press = wxID_NO;
    EXPECT_EQ(ShowMessageBox(nullptr, question), MessageAnswer::No);
    timer.Stop();
}

}  // namespace
}  // namespace tessaly::testwizard
