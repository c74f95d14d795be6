// Login, lock and the access-status refresh in the window system: the lock button `PassBut`,
// the login dialog through the dialog registry, `SystemStatusSet` on the main form's menus, the
// viewer and the camera windows, and the menu handlers of the dialogs this part opens
// (`N7Click`, `ReviewMenuClick`).
#pragma once

#include "access/access_control.h"
#include "access/system_status.h"
#include "configuration/configuration_state.h"
#include "lifecycle/station_state.h"
#include "live/live_station.h"
#include "ui/access/check_password_form.h"
#include "ui/access/password_set_form.h"

#include <QObject>
#include <QPointer>

class TMain_Kastrel_Form;

namespace station {

class DialogRegistry;
class StationLifecycle;

class StationAccess : public QObject, private AccessPort, private StatusWindows {
public:
    StationAccess(TMain_Kastrel_Form& form, StationState& state, LiveStation& live,
                  StationLifecycle& life, DialogRegistry& dialogs,
                  const ConfigurationState& configuration);

    // The lock button's click (also the tray icon's double click).
    void PassButClick() { control_.PassButClick(); }
    // Right n at the current level.
    bool QuerryStatus(int n);
    // The access level applied to the windows (also the end of every configuration load).
    void SystemStatusSet() override;

    // The menu items N7 and ReviewMenu.
    void N7Click();
    void ReviewMenuClick();

    TCheckPassword* CheckPassword() const { return check_password_; }
    TPasswordSet* PasswordSet() const { return password_set_; }
    AccessControl& Control() { return control_; }

private:
    // AccessPort
    void SetPassButPicture(bool unlocked) override;
    bool LoginOpen() const override;
    void OpenLogin(const LoginPasswords& passwords) override;
    bool StealthActive() const override;
    void LeaveStealth() override;
    bool Closing() const override;
    // StatusWindows
    bool ConfLoading() const override;
    std::array<bool, kChipCount> Boards() const override;
    std::array<DriverDialogsBusy, kChipCount> DriverDialogs() const override;
    void HideViewer() override;
    void ApplyControls(const std::vector<ControlSetting>& controls) override;

    TMain_Kastrel_Form& form_;
    StationState& state_;
    LiveStation& live_;
    StationLifecycle& life_;
    DialogRegistry& dialogs_;
    const ConfigurationState& configuration_;
    AccessControl control_;
    QPointer<TCheckPassword> check_password_;
    QPointer<TPasswordSet> password_set_;
};

} // namespace station
