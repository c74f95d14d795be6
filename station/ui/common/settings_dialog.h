// Settings dialogs in the window system: modeless single instances held in the station's
// DialogRegistry. A menu handler opens one only while its entry is empty; the dialog frees
// itself when it closes and its entry clears when it goes. Freed from outside (the registry's
// Free), it runs its destroy actions once, is hidden and deleted later; neither its Cancel
// nor a close event runs then.
#pragma once

#include "base/settings_dialogs.h"

#include <QPointer>
#include <QWidget>

namespace station {

// What a settings dialog does when it goes (FormDestroy): the closing line of the dialog log,
// its files. Run once, whichever way the dialog goes; the dialog's destructor calls
// RunDestroyActions too.
class DestroyActions {
public:
    virtual ~DestroyActions() = default;
    void RunDestroyActions() {
        if (!destroyed_) {
            destroyed_ = true;
            FormDestroy();
        }
    }

protected:
    virtual void FormDestroy() {}

private:
    bool destroyed_ = false;
};

// Opens the dialog made by `make` unless one of that kind is open; the new dialog, or null.
// `Dialog` is a QWidget and a DestroyActions; `registry` outlives every dialog it holds.
template <class Dialog, class Make>
Dialog* OpenSettingsDialog(DialogRegistry& registry, SettingsDialog kind, Make make) {
    if (registry.IsOpen(kind)) {
        return nullptr;
    }
    Dialog* dialog = make();
    if (dialog == nullptr) {
        return nullptr;
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<Dialog> held(dialog);
    const std::uint64_t ticket = registry.Register(kind, [held] {
        if (held) {
            held->RunDestroyActions();
            held->hide();
            held->deleteLater();
        }
    });
    QObject::connect(dialog, &QObject::destroyed,
                     [&registry, kind, ticket] { registry.Closed(kind, ticket); });
    dialog->show();
    return dialog;
}

} // namespace station
