#include "system_status.h"

#include "access_rights.h"
#include "base/settings_dialogs.h"

namespace station {
namespace {

// Right n at the level: all at full access, the ticked ones at limited access, none locked.
bool granted(const StatusInputs& in, int n) {
    if (in.Level == kAccessFull) {
        return true;
    }
    return in.Level == kAccessLimited && in.Rights[static_cast<std::size_t>(n - 1)];
}

} // namespace

std::vector<ControlSetting> SystemStatusControls(const StatusInputs& in) {
    bool any_board = false;
    bool format_busy = false;
    bool source_busy = false;
    for (int k = 1; k <= kChipCount; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        any_board = any_board || in.Boards[i];
        format_busy = format_busy || in.Busy[i].Format;
        source_busy = source_busy || in.Busy[i].Source;
    }

    std::vector<ControlSetting> out;
    const auto set = [&out](std::string name, bool on) { out.push_back({std::move(name), on}); };
    set("CLRBut", granted(in, 3));
    set("StealthMenu", granted(in, 16));
    if (!in.ConfLoading) {
        set("N1", granted(in, 10));
    }
    set("N7", in.Level == kAccessFull);
    set("ReviewMenu", granted(in, 2));
    set("PriorMenu", any_board && granted(in, 8));
    set("FormDiskWriteModeMenu", granted(in, 6));
    set("MonControlMenu", any_board && granted(in, 20));
    set("AdjNetMenu", granted(in, 5));
    set("AdjADCMenu", any_board && granted(in, 18));
    set("AdjHardMenu", any_board && granted(in, 19));
    set("AdjRepMenu", granted(in, 15));
    set("ViewRepMenu", granted(in, 15));
    set("AddChanel", granted(in, 1));
    for (int k = 1; k <= kChipCount; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        if (!in.Busy[i].Format) {
            set("ResMenuItem" + std::to_string(k), in.Boards[i] && granted(in, 12));
        }
    }
    if (!format_busy) {
        set("ResMenu", any_board && granted(in, 12));
    }
    for (int k = 1; k <= kChipCount; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        if (!in.Busy[i].Source) {
            set("SoerceMenuItem" + std::to_string(k), in.Boards[i] && granted(in, 13));
        }
    }
    if (!source_busy) {
        set("SoerceMenu", any_board && granted(in, 13));
    }
    set("FindBtn", granted(in, 14));
    set("WriteBtn", granted(in, 17));
    return out;
}

void SystemStatusSet(const BaseState& base, AccessState& access, DialogRegistry& dialogs,
                     StatusWindows& windows) {
    if (access.AccessStatus == kAccessLimited) {
        Status2Refresh(base, access);
    }
    const bool conf_loading = windows.ConfLoading();
    dialogs.Free(kSystemStatusFrees);
    if (!conf_loading) {
        dialogs.Free(SettingsDialog::AdjConf);
    }
    windows.HideViewer();

    StatusInputs in;
    in.Level = access.AccessStatus;
    in.Rights = access.AccessRights;
    in.Boards = windows.Boards();
    in.Busy = windows.DriverDialogs();
    in.ConfLoading = conf_loading;
    windows.ApplyControls(SystemStatusControls(in));
}

} // namespace station
