// DVM_DIALOG and the read-only Settings dialog of the external-out channel.
#include "device_requests.h"
#include "driver_dialogs.h"

#include "windows.h"

#include <cstdio>
#include <string>

namespace tarvovfw {
namespace {

struct Named {
    int key;
    const char* text;
};
constexpr Named kStandards[] = {{3, "PAL-B,D,G,H,I"}, {6, "SECAM"}};
constexpr Named kFormats[] = {{0, "32 bit RGB"}, {1, "24 bit RGB"}, {3, "15 bit RGB"},
                              {4, "YUY2"},       {5, "BTYUV"},      {6, "Y8"}};

// The text paired with `key`, or the number itself for a key the list does not hold.
template <std::size_t N> void set_named(HWND dlg, int id, const Named (&list)[N], int key) {
    for (const Named& n : list) {
        if (n.key == key) {
            SetDlgItemTextA(dlg, id, n.text);
            return;
        }
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d", key);
    SetDlgItemTextA(dlg, id, text);
}

// Puts `number` into the "%d" of the dialog's caption.
void set_caption(HWND dlg, int number) {
    char format[128] = {};
    GetWindowTextA(dlg, format, sizeof format);
    std::string text = format;
    const auto at = text.find("%d");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(number));
    }
    SetWindowTextA(dlg, text.c_str());
}

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
        set_named(dlg, 402, kStandards, get_video_standard());
        set_percent(dlg, 403, get_brightness());
        set_percent(dlg, 407, get_contrast());
        set_percent(dlg, 405, get_saturation());
        set_percent(dlg, 404, get_hue());
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", static_cast<int>(format.width),
                      static_cast<int>(format.height));
        SetDlgItemTextA(dlg, 408, size);
        set_named(dlg, 409, kFormats, static_cast<int>(format.colorFormat));
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

LRESULT show_settings_dialog(DeviceInstance& instance, DWORD channel, HWND owner, DWORD flags) {
    if (channel != kExternalIn && channel != kExternalOut && channel != kVideoIn) {
        return DV_ERR_NOTSUPPORTED;
    }
    if (flags & VIDEO_DLG_QUERY) {
        return DV_ERR_OK;
    }
    if (channel == kExternalOut) {
        DialogBoxParamA(copy().module, MAKEINTRESOURCEA(kSettingsTemplate), owner, settings_proc,
                        reinterpret_cast<LPARAM>(&instance));
    }
    // The Video Source and Video Format dialogs are not built yet: those channels answer as a
    // query does.
    return DV_ERR_OK;
}

} // namespace tarvovfw
