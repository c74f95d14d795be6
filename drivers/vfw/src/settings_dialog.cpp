// The read-only Settings dialog of the external-out channel.
#include "device_requests.h"
#include "driver_dialogs.h"

#include "windows.h"

#include <cstdio>

namespace tarvovfw {
namespace {

void set_percent(HWND dlg, int id, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", value * 100 / 256);
    SetDlgItemTextA(dlg, id, text);
}

INT_PTR CALLBACK settings_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_INITDIALOG: {
        const auto& in = *reinterpret_cast<DeviceInstance*>(lparam);
        const TARVO_FORMAT format = in.format;
        set_caption(dlg, in.index);
        SetDlgItemInt(dlg, 401, static_cast<UINT>(get_input_mux()), TRUE);
        SetDlgItemTextA(dlg, 402, named_text(kStandards, get_video_standard()).c_str());
        set_percent(dlg, 403, get_brightness());
        set_percent(dlg, 407, get_contrast());
        set_percent(dlg, 405, get_saturation());
        set_percent(dlg, 404, get_hue());
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", static_cast<int>(format.width),
                      static_cast<int>(format.height));
        SetDlgItemTextA(dlg, 408, size);
        SetDlgItemTextA(dlg, 409,
                        named_text(kFormats, static_cast<int>(format.colorFormat)).c_str());
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dlg, IDOK);
        }
        return TRUE;
    case WM_ENDSESSION:
        if (wparam) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR run_settings_dialog(DeviceInstance& instance, HWND owner) {
    return DialogBoxParamA(copy().module, MAKEINTRESOURCEA(kSettingsTemplate), owner, settings_proc,
                           reinterpret_cast<LPARAM>(&instance));
}

} // namespace tarvovfw
