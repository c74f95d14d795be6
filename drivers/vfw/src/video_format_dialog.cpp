// The Video Format dialog of the video-in channel: capture size and format, sent to the kernel
// device and stored per user at OK.
#include "capture_formats.h"
#include "device_requests.h"
#include "driver_dialogs.h"
#include "user_settings.h"

#include "windows.h"

namespace tarvovfw {
namespace {

enum : int {
    kFormatList = 201,
    kSizeList = 206,
};

struct Size {
    int width;
    int height;
    const char* text;
};
// The sizes of the 525-line (0) and the 625-line (1) standards.
constexpr Size kSizes[2][4] = {
    {{160, 120, "160 x 120"},
     {320, 240, "320 x 240"},
     {640, 480, "640 x 480"},
     {640, 240, "640 x 240"}},
    {{192, 144, "192 x 144"},
     {384, 288, "384 x 288"},
     {768, 576, "768 x 576"},
     {768, 288, "768 x 288"}},
};
// The size each button selects.
struct SizeButton {
    int id;
    int size;
};
constexpr SizeButton kSizeButtons[] = {{204, 0}, {203, 1}, {205, 3}, {202, 2}};

DeviceInstance* instance = nullptr;
TARVO_FORMAT format_copy{};
int size_set = 1;

int set_of_chip() {
    return is_525_line(get_video_standard()) ? 0 : 1;
}

void fill_sizes(HWND dlg, int selected) {
    SendDlgItemMessageA(dlg, kSizeList, CB_RESETCONTENT, 0, 0);
    for (int k = 0; k < 4; ++k) {
        const LRESULT at = SendDlgItemMessageA(dlg, kSizeList, CB_ADDSTRING, 0,
                                               reinterpret_cast<LPARAM>(kSizes[size_set][k].text));
        SendDlgItemMessageA(dlg, kSizeList, CB_SETITEMDATA, static_cast<WPARAM>(at), k);
    }
    SendDlgItemMessageA(dlg, kSizeList, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void open(HWND dlg, DeviceInstance& in) {
    instance = &in;
    format_copy = in.format;
    set_caption(dlg, in.index + 1);
    const SourceDialogState& source = source_dialog_state();
    size_set = source.open ? source.size_set : set_of_chip();
    int selected = 1;
    for (int k = 0; k < 4; ++k) {
        if (kSizes[size_set][k].width == static_cast<int>(format_copy.width) &&
            kSizes[size_set][k].height == static_cast<int>(format_copy.height)) {
            selected = k;
        }
    }
    fill_sizes(dlg, selected);
    fill_named(dlg, kFormatList, kFormats, static_cast<int>(format_copy.colorFormat), -1);
    if (source.open) {
        EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
    }
}

void ok(HWND dlg) {
    if (!source_dialog_state().open) {
        size_set = set_of_chip();
    }
    const int size = selected_key(dlg, kSizeList, 1);
    const Size& chosen = kSizes[size_set][size >= 0 && size < 4 ? size : 1];
    DeviceInstance& in = *instance;
    const int code = selected_key(dlg, kFormatList, static_cast<int>(format_copy.colorFormat));
    BITMAPINFOHEADER header =
        build_format_header(static_cast<DWORD>(code), chosen.width, chosen.height);
    set_capture_format(in, &header, sizeof header);
    write_driver_setting(*in.name, "Format", static_cast<DWORD>(code), in.index);
    write_driver_setting(*in.name, "Width", static_cast<DWORD>(chosen.width), in.index);
    write_driver_setting(*in.name, "Height", static_cast<DWORD>(chosen.height), in.index);
    EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK format_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_INITDIALOG:
        open(dlg, *reinterpret_cast<DeviceInstance*>(lparam));
        return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        if (id == kFormatList && HIWORD(wparam) == CBN_SELCHANGE) {
            const LRESULT at = SendDlgItemMessageA(dlg, kSizeList, CB_GETCURSEL, 0, 0);
            fill_sizes(dlg, at == CB_ERR ? 1 : static_cast<int>(at));
        } else if (id == IDOK) {
            ok(dlg);
        } else if (id == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
        }
        for (const SizeButton& b : kSizeButtons) {
            if (b.id == id) {
                SendDlgItemMessageA(dlg, kSizeList, CB_SETCURSEL, static_cast<WPARAM>(b.size), 0);
            }
        }
        return TRUE;
    }
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

INT_PTR run_video_format_dialog(DeviceInstance& in, HWND owner) {
    return DialogBoxParamA(copy().module, MAKEINTRESOURCEA(kVideoFormatTemplate), owner,
                           format_proc, reinterpret_cast<LPARAM>(&in));
}

} // namespace tarvovfw
