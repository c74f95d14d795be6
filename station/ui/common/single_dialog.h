// Settings dialogs are modeless single instances: a menu handler does nothing while the
// dialog's variable is set, else creates the dialog without an owner, stores it and shows it.
// The dialog frees itself when closed, and the QPointer clears the variable when it goes.
#pragma once

#include <QPointer>
#include <QWidget>

namespace station {

// Opens the dialog made by `make` unless `variable` holds one already. True when it opened.
template <class Dialog, class Make> bool OpenSingleDialog(QPointer<Dialog>& variable, Make make) {
    if (variable) {
        return false;
    }
    Dialog* dialog = make();
    if (dialog == nullptr) {
        return false;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    variable = dialog;
    dialog->show();
    return true;
}

} // namespace station
