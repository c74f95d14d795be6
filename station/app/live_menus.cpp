#include "live_menus.h"

#include <QAction>
#include <string>

namespace station {

FormMenus::FormMenus(TMain_Kastrel_Form& form, std::function<bool(int right)> querryStatus)
    : form_(form), querry_(std::move(querryStatus)) {}

void FormMenus::enable(const char* name, bool on) {
    if (QAction* action = form_.MenuItem(name)) {
        action->setEnabled(on);
    }
}

void FormMenus::EnableResMenu(bool on) {
    enable("ResMenu", on);
}
void FormMenus::EnableSoerceMenu(bool on) {
    enable("SoerceMenu", on);
}
void FormMenus::EnableResItem(int k, bool on) {
    enable(("ResMenuItem" + std::to_string(k)).c_str(), on);
}
void FormMenus::EnableSoerceItem(int k, bool on) {
    enable(("SoerceMenuItem" + std::to_string(k)).c_str(), on);
}
bool FormMenus::QuerryStatus(int right) const {
    return !querry_ || querry_(right);
}

void ConnectLiveMenus(TMain_Kastrel_Form& form, LiveStation& live, const ChanelHooks& hooks) {
    form.ConnectItem("AddChanel", [&live, &form, hooks] { AddChanelClick(live, hooks, &form); });
    for (int k = 1; k <= kChipCount; ++k) {
        form.ConnectItem("ResMenuItem" + std::to_string(k),
                         [&live, k] { live.Handoff.ResMenuItemClick(k); });
        form.ConnectItem("SoerceMenuItem" + std::to_string(k),
                         [&live, k] { live.Handoff.SoerceMenuItemClick(k); });
    }
}

} // namespace station
