// The driver's own dialogs (templates in src/dialogs.dlg, in the copy's resource block): the
// read-only Settings dialog and the register help viewer over "bt878.txt" in the system
// directory.
#pragma once

#include "driver_state.h"

namespace tarvovfw {

enum : int {
    kBoardTemplate = 101,
    kHelpTemplate = 102,
    kVideoFormatTemplate = 200,
    kVideoSourceTemplate = 300,
    kSettingsTemplate = 400,
};
inline constexpr int kHelpTopics = 73;

// DVM_DIALOG on `channel`: DV_ERR_NOTSUPPORTED for no settings channel, else 0 (with
// VIDEO_DLG_QUERY nothing is shown).
LRESULT show_settings_dialog(DeviceInstance& instance, DWORD channel, HWND owner, DWORD flags);

// The help viewer, opened on `topic`; returns when the operator closes it.
void run_help_viewer(HWND owner, int topic);
// Fills the viewer's list with topic `topic` of the help file; false when the file or the
// topic is missing (after telling the operator).
bool show_help_topic(HWND viewer, int topic);

} // namespace tarvovfw
