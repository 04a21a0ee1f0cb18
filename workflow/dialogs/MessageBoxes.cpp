#include "workflow/dialogs/MessageBoxes.h"

#include <wx/msgdlg.h>
#include <wx/window.h>
#ifndef __WXMSW__
#include <wx/generic/msgdlgg.h>
#endif

namespace tessaly {
namespace {

// GTK 3 shows no icon in its own message boxes; the toolkit's generic box
// shows the question, information or warning icon the message asks for.
#ifdef __WXMSW__
using MessageBox = wxMessageDialog;
#else
using MessageBox = wxGenericMessageDialog;
#endif

long BoxStyle(const Message& message) {
    long style = wxCENTRE;
    switch (message.icon) {
        case MessageIcon::Question: style |= wxICON_QUESTION; break;
        case MessageIcon::Warning: style |= wxICON_WARNING; break;
        case MessageIcon::Information: style |= wxICON_INFORMATION; break;
    }
    style |= message.buttons == MessageButtons::YesNo ? wxYES_NO : wxOK;
    // A system-modal box stays above every window, not only its owner's.
    if (message.systemModal) style |= wxSTAY_ON_TOP;
    return style;
}

MessageAnswer AnswerFor(const Message& message, int result) {
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return result == wxID_YES ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace

MessageAnswer ShowMessageBox(wxWindow* parent, const Message& message) {
    MessageBox box(parent, wxString::FromUTF8(message.text), wxString::FromUTF8(message.caption), BoxStyle(message));
    return AnswerFor(message, box.ShowModal());
}

}  // namespace tessaly
