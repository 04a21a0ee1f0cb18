#include "app/main/InstanceCheck.h"

#include <cstdlib>

#include <wx/defs.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

#include "core/Settings.h"
#include "platform/FileSystem.h"

#ifdef __WXMSW__
#include <windows.h>
#endif

namespace tessaly {

namespace {

#ifdef __WXMSW__
bool TopLevelWindowTitled(const char* title) { return ::FindWindowW(nullptr, PathFromUtf8(title).c_str()) != nullptr; }
#else
// One lock per user, in the user's runtime folder where there is one (it is
// private to the user and emptied at log-out), else in the home folder.
wxString InstanceLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && IsExistingFolder(PathFromUtf8(runtime))) return wxString::FromUTF8(runtime);
    return wxString();
}

wxString InstanceLockName() { return "tessaly-zip-" + wxGetUserId() + ".lock"; }
#endif

}  // namespace

CInstanceCheck::CInstanceCheck() {
#ifdef __WXMSW__
    m_bAnotherRunning = TopLevelWindowTitled(AppTitle);
    m_bAnotherShowsMessage = m_bAnotherRunning && TopLevelWindowTitled(BoxTitle);
#else
    m_pLock = std::make_unique<wxSingleInstanceChecker>();
    m_bAnotherRunning = m_pLock->Create(InstanceLockName(), InstanceLockFolder()) && m_pLock->IsAnotherRunning();
#endif
}

CInstanceCheck::~CInstanceCheck() = default;

}  // namespace tessaly
