// Modal dialogs of the dialog manager (win32/dialog_box.h) shown as Qt dialogs: the window
// system's side of platform/dialog_host.h.
//
// A template becomes an application-modal QDialog with one widget per control, placed by
// converting dialog units to pixels from the template's font (a quarter of the font's average
// character width across, an eighth of its height down). The operator's input goes to the
// dialog procedure as the control would send it, and the widgets show what the procedure left
// in the controls. A dialog opened from inside another is owned by it and modal above it.
//
// DialogBoxParamA returns only when its dialog has ended, so the host runs the dialog in a
// nested event loop (QDialog::exec), as the system's own modal dialog loop does; a dialog that
// is ended from outside its own input (WM_ENDSESSION, EndDialog) closes at the host's next
// check. Dialogs are shown only on the application's thread; a dialog asked for on any other
// thread ends at once with IDCANCEL.
#pragma once

#include "platform/dialog_host.h"

class QDialog;

namespace platform {

class QtDialogHost : public DialogHost {
public:
    void run(Dialog& dialog, HWND owner) override;

    // The Qt dialog showing `dialog` while it runs, or null (for tests and screenshots).
    static QDialog* widget_of(HWND dialog);
};

} // namespace platform
