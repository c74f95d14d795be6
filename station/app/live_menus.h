// The main form's live-video menu items: `AddChanel` adds a camera window, the items of
// `ResMenu` and `SoerceMenu` open the capture driver's format and source dialogs for their chip.
// `FormMenus` is the hand-off's and the main cycle's view of those menus (the live engine's
// `MenuPort`, given to the `LiveStation` when it is made).
#pragma once

#include "ui/live/chanel_form.h"
#include "live/live_ports.h"
#include "live/live_station.h"
#include "ui/main/main_form.h"

#include <functional>

namespace station {

class FormMenus : public MenuPort {
public:
    FormMenus(TMain_Kastrel_Form& form, std::function<bool(int right)> querryStatus);

    void EnableResMenu(bool on) override;
    void EnableResItem(int k, bool on) override;
    void EnableSoerceMenu(bool on) override;
    void EnableSoerceItem(int k, bool on) override;
    bool QuerryStatus(int right) const override;

private:
    void enable(const char* name, bool on);

    TMain_Kastrel_Form& form_;
    std::function<bool(int)> querry_;
};

// Connects the items to their handlers.
void ConnectLiveMenus(TMain_Kastrel_Form& form, LiveStation& live, const ChanelHooks& hooks);

} // namespace station
