// SystemStatusSet: the access level applied to the station's windows. Every change of level
// and the end of every configuration load run it: the open settings dialogs go (the
// stored-configurations dialog not while it loads a configuration itself, the login never),
// the recording viewer is hidden, and the menus and buttons are set by the control table.
#pragma once

#include "access_state.h"
#include "base/base_state.h"
#include "base/limits.h"

#include <array>
#include <string>
#include <vector>

namespace station {

class DialogRegistry;

// A chip's driver format or source dialog waiting for its capture to stop, or open: that
// chip's item (and its menu) are left to the dialog's own path.
struct DriverDialogsBusy {
    bool Format = false;
    bool Source = false;
};

struct StatusInputs {
    std::uint8_t Level = kAccessLocked;
    RightsTable Rights{};
    // Entry k - 1: capture board k present.
    std::array<bool, kChipCount> Boards{};
    std::array<DriverDialogsBusy, kChipCount> Busy{};
    // The stored-configurations dialog loads a configuration: its menu item stays as it is.
    bool ConfLoading = false;
};

// One control of the table by component name: the menu items of `AdjMenu`, the viewer's
// `CLRBut`, and `FindBtn` / `WriteBtn` of every used camera window.
struct ControlSetting {
    std::string Name;
    bool On = false;
    bool operator==(const ControlSetting&) const = default;
};

// The control table for the inputs; a control left untouched has no entry.
std::vector<ControlSetting> SystemStatusControls(const StatusInputs& in);

// What SystemStatusSet asks of the window system.
class StatusWindows {
public:
    virtual ~StatusWindows() = default;
    virtual bool ConfLoading() const = 0;
    virtual std::array<bool, kChipCount> Boards() const = 0;
    virtual std::array<DriverDialogsBusy, kChipCount> DriverDialogs() const = 0;
    // Hides the recording viewer when it is shown.
    virtual void HideViewer() = 0;
    virtual void ApplyControls(const std::vector<ControlSetting>& controls) = 0;
};

void SystemStatusSet(const BaseState& base, AccessState& access, DialogRegistry& dialogs,
                     StatusWindows& windows);

} // namespace station
