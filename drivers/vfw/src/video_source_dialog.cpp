// The Video Source dialog of the external-in channel: picture controls, input and cable type
// changed live on the chip, the video standard applied at OK, stored per user.
#include "device_requests.h"
#include "driver_dialogs.h"
#include "user_settings.h"

#include "windows.h"

#include <algorithm>

namespace tarvovfw {
namespace {

enum : int {
    kBrightnessBar = 301,
    kContrastBar = 302,
    kSaturationBar = 303,
    kHueBar = 304,
    kBrightnessEdit = 306,
    kHueEdit = 309,
    kRadioFirst = 310,
    kRadioInput1 = 312,
    kRadioLast = 313,
    kStandardList = 314,
    kDefault = 520,
    kHelp = 521,
    kSVideo = 1011,
    kRefresh = WM_USER + 200,
};
// The inputs the radio buttons 310 to 313 stand for.
constexpr int kInputOfRadio[] = {2, 3, 1, 0};

// The four picture values, in the order of their scroll bars and edits.
enum Value { kBrightness, kContrast, kSaturation, kHueValue, kValues };

struct Undo {
    int values[kValues] = {};
    int cable = 0;
    int input = 0;
    int standard = 0;
    // The instance's records as the dialog found them.
    TARVO_SOURCE source{};
    TARVO_COLOR colour{};
};

DeviceInstance* instance = nullptr;
int values[kValues] = {};
Undo undo;

int radio_of(int input) {
    for (int k = 0; k < 4; ++k) {
        if (kInputOfRadio[k] == input) {
            return kRadioFirst + k;
        }
    }
    return kRadioFirst;
}

void write_value(Value which, int value) {
    switch (which) {
    case kBrightness:
        set_brightness(value);
        break;
    case kContrast:
        set_contrast(value);
        break;
    case kSaturation:
        set_saturation(value);
        break;
    default:
        set_hue(value);
        break;
    }
}

void save_source_and_colour(const DeviceInstance& in) {
    const DriverNameRecord& n = *in.name;
    const TARVO_SOURCE& s = in.source_record;
    write_driver_setting(n, "Hue", s.hue, in.index);
    write_driver_setting(n, "VideoStd", s.videoFormat, in.index);
    write_driver_setting(n, "Connector", s.mux, in.index);
    write_driver_setting(n, "CableFormat", s.svideo, in.index);
    const TARVO_COLOR& c = in.colour;
    write_driver_setting(n, "Saturation", c.saturation, in.index);
    write_driver_setting(n, "Brightness", c.brightness, in.index);
    write_driver_setting(n, "Contrast", c.contrast, in.index);
}

void refresh(HWND dlg) {
    for (int k = 0; k < kValues; ++k) {
        values[k] = std::clamp(values[k], 0, 255);
        const bool is_signed = k == kBrightness || k == kHueValue;
        SetDlgItemInt(dlg, kBrightnessEdit + k, static_cast<UINT>(values[k]), is_signed);
        SetScrollPos(GetDlgItem(dlg, kBrightnessBar + k), SB_CTL, values[k], TRUE);
    }
    if (IsWindowEnabled(GetDlgItem(dlg, kHueBar))) {
        set_hue(values[kHueValue]);
        instance->source_record.hue = static_cast<DWORD>(values[kHueValue]);
    }
    set_brightness(values[kBrightness]);
    set_contrast(values[kContrast]);
    set_saturation(values[kSaturation]);
    instance->colour.brightness = static_cast<DWORD>(values[kBrightness]);
    instance->colour.contrast = static_cast<DWORD>(values[kContrast]);
    instance->colour.saturation = static_cast<DWORD>(values[kSaturation]);
    save_source_and_colour(*instance);
}

void open(HWND dlg, DeviceInstance& in) {
    instance = &in;
    set_caption(dlg, in.index + 1);
    values[kBrightness] = get_brightness();
    values[kContrast] = get_contrast();
    values[kSaturation] = get_saturation();
    values[kHueValue] = get_hue();
    std::copy(std::begin(values), std::end(values), undo.values);
    undo.input = get_input_mux();
    undo.cable = get_cable_format();
    undo.standard = get_video_standard();
    for (int id = kBrightnessBar; id <= kHueBar; ++id) {
        SetScrollRange(GetDlgItem(dlg, id), SB_CTL, 0, 255, FALSE);
    }
    fill_named(dlg, kStandardList, kStandards, undo.standard, 0);
    ShowWindow(GetDlgItem(dlg, kHelp), copy().help ? SW_SHOW : SW_HIDE);
    CheckRadioButton(dlg, kRadioFirst, kRadioLast, radio_of(undo.input));
    const bool input1 = undo.input == 1;
    EnableWindow(GetDlgItem(dlg, kSVideo), input1 ? TRUE : FALSE);
    CheckDlgButton(dlg, kSVideo, input1 && undo.cable != 0 ? BST_CHECKED : BST_UNCHECKED);
    source_dialog_state().open = true;
    refresh(dlg);
    // The records after the first refresh are what the stored values hold now: Cancel brings
    // both back to them.
    undo.source = in.source_record;
    undo.colour = in.colour;
}

void scroll(HWND dlg, HWND bar, WORD code, WORD thumb) {
    const int id = GetDlgCtrlID(bar);
    if (id < kBrightnessBar || id > kHueBar) {
        return;
    }
    int low = 0, high = 0;
    GetScrollRange(bar, SB_CTL, &low, &high);
    const int page = (high - low) / 10 + 1;
    const auto which = static_cast<Value>(id - kBrightnessBar);
    int value = GetScrollPos(bar, SB_CTL);
    switch (code) {
    case SB_LINELEFT:
        --value;
        break;
    case SB_LINERIGHT:
        ++value;
        break;
    case SB_PAGELEFT:
        value -= page;
        break;
    case SB_PAGERIGHT:
        value += page;
        break;
    case SB_THUMBTRACK:
        value = thumb;
        break;
    default:
        break;
    }
    value = std::clamp(value, low, high);
    values[which] = value;
    SetScrollPos(bar, SB_CTL, value, TRUE);
    SetDlgItemInt(dlg, kBrightnessEdit + static_cast<int>(which), static_cast<UINT>(value),
                  which == kBrightness || which == kHueValue);
    write_value(which, value);
}

void choose_input(HWND dlg, int radio) {
    const int input = kInputOfRadio[radio - kRadioFirst];
    set_input_mux(input, 0);
    instance->source_record.mux = static_cast<DWORD>(input);
    if (input == 1) {
        EnableWindow(GetDlgItem(dlg, kSVideo), TRUE);
        const bool svideo = IsDlgButtonChecked(dlg, kSVideo) == BST_CHECKED;
        set_cable_format(svideo);
        instance->source_record.svideo = svideo ? 1 : 0;
    } else {
        CheckDlgButton(dlg, kSVideo, BST_UNCHECKED);
        EnableWindow(GetDlgItem(dlg, kSVideo), FALSE);
        set_cable_format(false);
        instance->source_record.svideo = 0;
    }
}

void choose_standard(HWND dlg) {
    const int standard = selected_key(dlg, kStandardList, undo.standard);
    source_dialog_state().size_set = is_525_line(standard) ? 0 : 1;
    const BOOL hue = standard == 1 || standard == 2 ? TRUE : FALSE;
    EnableWindow(GetDlgItem(dlg, kHueBar), hue);
    EnableWindow(GetDlgItem(dlg, kHueEdit), hue);
    run_video_format_dialog(*instance, dlg);
}

void close_with(HWND dlg, INT_PTR result) {
    source_dialog_state().open = false;
    EndDialog(dlg, result);
}

void ok(HWND dlg) {
    DeviceInstance& in = *instance;
    set_video_standard(selected_key(dlg, kStandardList, undo.standard));
    in.source_record.videoFormat = static_cast<DWORD>(get_video_standard());
    if (IsDlgButtonChecked(dlg, kRadioInput1) == BST_CHECKED) {
        in.source_record.svideo = IsDlgButtonChecked(dlg, kSVideo) == BST_CHECKED ? 1 : 0;
    }
    save_source_and_colour(in);
    if (in.stream != nullptr) {
        send_source(in.stream->device, in.source_record);
    }
    refresh(dlg);
    close_with(dlg, IDOK);
}

// Everything the dialog changed goes back: the chip, and also the instance's records and the
// stored values, so that neither the next driver start nor a later OK brings the cancelled
// settings back.
void cancel(HWND dlg) {
    set_brightness(undo.values[kBrightness]);
    set_contrast(undo.values[kContrast]);
    set_saturation(undo.values[kSaturation]);
    set_hue(undo.values[kHueValue]);
    set_input_mux(undo.input, 0);
    set_cable_format(undo.cable != 0);
    set_video_standard(undo.standard);
    instance->source_record = undo.source;
    instance->colour = undo.colour;
    save_source_and_colour(*instance);
    close_with(dlg, IDCANCEL);
}

void command(HWND dlg, int id, int code) {
    if (id >= kBrightnessEdit && id <= kHueEdit) {
        if (code == EN_KILLFOCUS) {
            for (int k = 0; k < kValues; ++k) {
                BOOL read = FALSE;
                const int v =
                    static_cast<int>(GetDlgItemInt(dlg, kBrightnessEdit + k, &read, TRUE));
                if (read) {
                    values[k] = v;
                }
            }
            refresh(dlg);
        }
        return;
    }
    if (id >= kRadioFirst && id <= kRadioLast) {
        choose_input(dlg, id);
        return;
    }
    switch (id) {
    case kSVideo:
        set_cable_format(IsDlgButtonChecked(dlg, kSVideo) == BST_CHECKED);
        break;
    case kDefault:
        values[kHueValue] = 0;
        values[kBrightness] = values[kContrast] = values[kSaturation] = 128;
        refresh(dlg);
        break;
    case kStandardList:
        if (code == CBN_SELCHANGE) {
            choose_standard(dlg);
        }
        break;
    case kHelp:
        run_board_dialog(*instance, dlg);
        break;
    case IDOK:
        ok(dlg);
        break;
    case IDCANCEL:
        cancel(dlg);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK source_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_INITDIALOG:
        open(dlg, *reinterpret_cast<DeviceInstance*>(lparam));
        return TRUE;
    case kRefresh:
        refresh(dlg);
        return TRUE;
    case WM_HSCROLL:
        scroll(dlg, reinterpret_cast<HWND>(lparam), LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_COMMAND:
        command(dlg, LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    case WM_ENDSESSION:
        // The session ends: as Cancel, so nothing half-chosen stays stored.
        if (wparam) {
            cancel(dlg);
        }
        return TRUE;
    case WM_DESTROY:
        source_dialog_state().open = false;
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR run_video_source_dialog(DeviceInstance& in, HWND owner) {
    return DialogBoxParamA(copy().module, MAKEINTRESOURCEA(kVideoSourceTemplate), owner,
                           source_proc, reinterpret_cast<LPARAM>(&in));
}

} // namespace tarvovfw
