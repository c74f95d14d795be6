#include "station_access.h"

#include "camera_windows_run.h"
#include "startup_form.h"
#include "access/access_rights.h"
#include "base/settings_dialogs.h"
#include "ui/live/chanel_form.h"
#include "ui/main/main_form.h"

#include <QAction>
#include <QToolButton>

namespace station {

StationAccess::StationAccess(TMain_Kastrel_Form& form, StationState& state, LiveStation& live,
                             StationLifecycle& life, DialogRegistry& dialogs,
                             const ConfigurationState& configuration)
    : form_(form), state_(state), live_(live), life_(life), dialogs_(dialogs),
      configuration_(configuration), control_(state.Base, state.Access, *this) {
    connect(form_.PassBut(), &QToolButton::clicked, this, [this] { PassButClick(); });
    form_.ConnectItem("N7", [this] { N7Click(); });
    form_.ConnectItem("ReviewMenu", [this] { ReviewMenuClick(); });
}

bool StationAccess::QuerryStatus(int n) {
    return station::QuerryStatus(state_.Base, state_.Access, n);
}

void StationAccess::SystemStatusSet() {
    station::SystemStatusSet(state_.Base, state_.Access, dialogs_, *this);
}

void StationAccess::N7Click() {
    TPasswordSet* dialog = OpenSettingsDialog<TPasswordSet>(
        dialogs_, SettingsDialog::PasswordSet, [this] { return new TPasswordSet(state_.Base); });
    if (dialog != nullptr) {
        password_set_ = dialog;
    }
}

void StationAccess::ReviewMenuClick() {
    if (QWidget* viewer = life_.ViewForm(); viewer != nullptr && !viewer->isVisible()) {
        viewer->show();
    }
}

void StationAccess::SetPassButPicture(bool unlocked) {
    form_.SetPassButUnlocked(unlocked);
}

bool StationAccess::LoginOpen() const {
    return dialogs_.IsOpen(SettingsDialog::CheckPassword) && check_password_ &&
           !check_password_->Over();
}

void StationAccess::OpenLogin(const LoginPasswords& passwords) {
    // A login that has ended may still wait for its deletion: it goes now.
    dialogs_.Free(SettingsDialog::CheckPassword);
    // The dialog may end after this object is gone (the shut-down frees it last).
    QPointer<StationAccess> self(this);
    TCheckPassword* dialog =
        OpenSettingsDialog<TCheckPassword>(dialogs_, SettingsDialog::CheckPassword, [&] {
            return new TCheckPassword(state_.Base.LangList, passwords, [self](std::uint8_t r) {
                if (self) {
                    self->control_.LoginEnded(r);
                }
            });
        });
    if (dialog != nullptr) {
        check_password_ = dialog;
    }
}

bool StationAccess::StealthActive() const {
    return state_.StealthActive;
}

void StationAccess::LeaveStealth() {
    life_.LeaveStealth();
}

bool StationAccess::Closing() const {
    return life_.Closing();
}

bool StationAccess::ConfLoading() const {
    return configuration_.ConfLoading;
}

std::array<bool, kChipCount> StationAccess::Boards() const {
    return life_.Startup().ChipPresent;
}

std::array<DriverDialogsBusy, kChipCount> StationAccess::DriverDialogs() const {
    std::array<DriverDialogsBusy, kChipCount> busy{};
    for (int k = 1; k <= kChipCount; ++k) {
        const ChipCapture& chip = live_.Handoff.Chip(k);
        const auto is = [&chip](DialogTimer which) {
            return chip.DialogTimerActive == which || chip.DialogOpen == which;
        };
        busy[static_cast<std::size_t>(k - 1)] = {is(DialogTimer::Format), is(DialogTimer::Source)};
    }
    return busy;
}

void StationAccess::HideViewer() {
    if (QWidget* viewer = life_.ViewForm(); viewer != nullptr && viewer->isVisible()) {
        viewer->hide();
    }
}

void StationAccess::ApplyControls(const std::vector<ControlSetting>& controls) {
    for (const ControlSetting& c : controls) {
        if (c.Name == "FindBtn" || c.Name == "WriteBtn") {
            for (TFormChanel* w : CameraWindowsOf(form_)) {
                (c.Name == "FindBtn" ? w->FindBtn() : w->WriteBtn())->setEnabled(c.On);
            }
        } else if (c.Name == "CLRBut") {
            if (QWidget* viewer = life_.ViewForm()) {
                if (auto* clear = viewer->findChild<QWidget*>("CLRBut")) {
                    clear->setEnabled(c.On);
                }
            }
        } else if (QAction* item = form_.MenuItem(c.Name)) {
            // An item whose dialog is not there yet stays off.
            item->setEnabled(c.On && form_.HasHandler(c.Name));
        }
    }
}

} // namespace station
