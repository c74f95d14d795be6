// What the driver's dialogs share: the standard and format lists, captions, the 525-line test.
#include "device_requests.h"
#include "driver_dialogs.h"

#include "windows.h"

#include <cstdio>

namespace tarvovfw {

SourceDialogState& source_dialog_state() {
    static SourceDialogState state;
    return state;
}

bool is_525_line(int standard) {
    if (standard == 0) {
        return (get_decoder_status() & 0x10) == 0;
    }
    return standard == 1 || standard == 2 || standard == 4;
}

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

void fill_named(HWND dlg, int id, std::span<const Named> list, int key, int fallback) {
    SendDlgItemMessageA(dlg, id, CB_RESETCONTENT, 0, 0);
    int chosen = fallback;
    for (const Named& n : list) {
        const LRESULT at =
            SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.text));
        SendDlgItemMessageA(dlg, id, CB_SETITEMDATA, static_cast<WPARAM>(at), n.key);
        if (n.key == key) {
            chosen = static_cast<int>(at);
        }
    }
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

int selected_key(HWND dlg, int id, int fallback) {
    const LRESULT at = SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) {
        return fallback;
    }
    return static_cast<int>(
        SendDlgItemMessageA(dlg, id, CB_GETITEMDATA, static_cast<WPARAM>(at), 0));
}

std::string named_text(std::span<const Named> list, int key) {
    for (const Named& n : list) {
        if (n.key == key) {
            return n.text;
        }
    }
    return std::to_string(key);
}

} // namespace tarvovfw
