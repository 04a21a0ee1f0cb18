// Whether another copy of the desktop program runs for this user.
//
// On Windows a running copy is recognised by its top-level window titled
// exactly AppTitle (hidden windows count, so a copy whose main dialog hides
// during a repair is still found), and a copy that shows a message box
// captioned BoxTitle at the moment is left to it: the new copy stays silent.
// Elsewhere the window system does not let one program look at another's
// windows, so a lock file per user in the runtime folder tells.
#pragma once

#include <memory>

class wxSingleInstanceChecker;

namespace tessaly {

class CInstanceCheck {
public:
    // Looks once, now: call it before this copy opens a window.
    CInstanceCheck();
    ~CInstanceCheck();

    bool AnotherRunning() const { return m_bAnotherRunning; }
    // True when the other copy shows a box captioned BoxTitle, which makes
    // this copy's own "already running" message superfluous.
    bool AnotherShowsMessage() const { return m_bAnotherShowsMessage; }

private:
    bool m_bAnotherRunning = false;
    bool m_bAnotherShowsMessage = false;
    std::unique_ptr<wxSingleInstanceChecker> m_pLock;
};

}  // namespace tessaly
