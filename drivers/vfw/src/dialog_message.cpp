// DVM_DIALOG: which dialog a channel shows, and when nothing is shown.
#include "driver_dialogs.h"

#include "windows.h"

namespace tarvovfw {

LRESULT show_settings_dialog(DeviceInstance& instance, DWORD channel, HWND owner, DWORD flags) {
    if (channel != kExternalIn && channel != kExternalOut && channel != kVideoIn) {
        return DV_ERR_NOTSUPPORTED;
    }
    if (flags & VIDEO_DLG_QUERY) {
        return DV_ERR_OK;
    }
    // A dialog belongs to the thread of its owner window (the capturing program's window
    // thread); sent from any other thread it would run beside that thread's own windows and
    // the capture window's work, so nothing is shown.
    if (owner != nullptr && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) {
        return DV_ERR_OK;
    }
    if (channel == kExternalIn) {
        run_video_source_dialog(instance, owner);
    } else if (channel == kVideoIn) {
        run_video_format_dialog(instance, owner);
    } else {
        run_settings_dialog(instance, owner);
    }
    return DV_ERR_OK;
}

} // namespace tarvovfw
