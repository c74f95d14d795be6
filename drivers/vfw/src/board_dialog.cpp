// The BOARD dialog: the chip's PCI header and every decoder register, registers changed by hand,
// the chip reset, and the register help.
#include "device_requests.h"
#include "driver_dialogs.h"

#include "windows.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tarvovfw {
namespace {

enum : int {
    kPciList = 1000,
    kRegisterList = 1001,
    kValueEdit = 1004,
    kChange = 1005,
    kReset = 1003,
    kNameEdit = 1006,
    kHelpButton = 1007,
};

// The registers in order of offset (offset 4 × position); a bare offset is the whole name.
constexpr const char* kRegisterNames[kDumpWords] = {
    "0x000 DSTATUS",
    "0x004 IFORM",
    "0x008 TDEC",
    "0x00C E_CROP",
    "0x010 E_VDELAY_LO",
    "0x014 E_VACTIVE_LO",
    "0x018 E_DELAY_LO",
    "0x01C E_HACTIVE_LO",
    "0x020 E_HSCALE_HI",
    "0x024 E_HSCALE_LO",
    "0x028 BRIGHT",
    "0x02C E_CONTROL",
    "0x030 CONTRAST_LO",
    "0x034 SAT_U_LO",
    "0x038 SAT_V_LO",
    "0x03C HUE",
    "0x040 E_SCLOOP",
    "0x044 WC_UP",
    "0x048 OFORM",
    "0x04C E_VSCALE_HI",
    "0x050 E_VSCALE_LO",
    "0x054 TEST",
    "0x058",
    "0x05C",
    "0x060 ADELAY",
    "0x064 BDELAY",
    "0x068 ADC",
    "0x06C E_VTC",
    "0x070",
    "0x074",
    "0x078 WC_DOWN",
    "0x07C SRESET",
    "0x080 TGLB",
    "0x084 TGCTRL",
    "0x088",
    "0x08C O_CROP",
    "0x090 O_VDELAY_LO",
    "0x094 O_VACTIVE_LO",
    "0x098 O_DELAY_LO",
    "0x09C O_HACTIVE_LO",
    "0x0A0 O_HSCALE_HI",
    "0x0A4 O_HSCALE_LO",
    "0x0A8",
    "0x0AC O_CONTROL",
    "0x0B0 VTOTAL_LO",
    "0x0B4 VTOTAL_HI ",
    "0x0B8",
    "0x0BC",
    "0x0C0 O_SCLOOP",
    "0x0C4",
    "0x0C8",
    "0x0CC O_VSCALE_HI",
    "0x0D0 O_VSCALE_LO",
    "0x0D4 COLOR_FMT",
    "0x0D8 COLOR_CTL",
    "0x0DC CAP_CTL",
    "0x0E0 VBI_PACK_SIZE",
    "0x0E4 VBI_PACK_DEL",
    "0x0E8 FCAP",
    "0x0EC O_VTC",
    "0x0F0 PLL_F_LO",
    "0x0F4 PLL_F_HI",
    "0x0F8 PLL_XCI",
    "0x0FC DVSIF",
    "0x100 INT_STAT",
    "0x104 INT_MASK",
    "0x108",
    "0x10C GPIO_DMA_CTL",
    "0x110 I2C D/C",
    "0x114 RISC_STRT_ADD",
    "0x118 GPIO_OUT_EN",
    "0x11C GPIO_REG_INP",
    "0x120 RISC_COUNT",
};

int chosen_register = -1;

DWORD offset_of(int position) {
    return static_cast<DWORD>(4 * position);
}

// "<name><tabs>0x<value>", the tabs lining the values up in the list's columns.
std::string register_line(int position, DWORD value) {
    const char* name = kRegisterNames[position];
    const int tabs = (30 - static_cast<int>(std::strlen(name))) / 8;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(value));
    return std::string(name) + std::string(static_cast<std::size_t>(tabs > 0 ? tabs : 0), '\t') +
           hex;
}

void add_text(HWND dlg, int id, const char* format, unsigned value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    SendDlgItemMessageA(dlg, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void fill_pci(HWND dlg, DeviceInstance& in) {
    TARVO_BOARD_INFO info{};
    if (in.stream != nullptr) {
        read_pci_config(in.stream->device, info);
        info.config[13] = 0; // latency timer
        write_pci_config(in.stream->device, info);
        read_pci_config(in.stream->device, info);
    }
    const auto word = [&](int at) {
        return unsigned(info.config[at]) | unsigned(info.config[at + 1]) << 8 |
               unsigned(info.config[at + 2]) << 16 | unsigned(info.config[at + 3]) << 24;
    };
    SendDlgItemMessageA(dlg, kPciList, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>("PCI Information"));
    add_text(dlg, kPciList, "VendorID=%#x (Bt878)", word(0) & 0xFFFFu);
    add_text(dlg, kPciList, "DeviceID=%d", word(0) >> 16);
    add_text(dlg, kPciList, "RevisionID=%d", info.config[8]);
    add_text(dlg, kPciList, "Base Address0=%#x", word(16) / 4096);
    add_text(dlg, kPciList, "Interrupt Line=%d", info.config[60]);
    add_text(dlg, kPciList, "Latency timer=%x", info.config[13]);
    add_text(dlg, kPciList, "MaximumLatency=%x", info.config[63]);
}

void fill_registers(HWND dlg) {
    SendDlgItemMessageA(dlg, kRegisterList, LB_RESETCONTENT, 0, 0);
    DWORD words[kDumpWords];
    dump_registers(words);
    for (int k = 0; k < kDumpWords; ++k) {
        const std::string line = register_line(k, words[k]);
        const LRESULT at = SendDlgItemMessageA(dlg, kRegisterList, LB_ADDSTRING, 0,
                                               reinterpret_cast<LPARAM>(line.c_str()));
        SendDlgItemMessageA(dlg, kRegisterList, LB_SETITEMDATA, static_cast<WPARAM>(at), k);
    }
}

void enable_editing(HWND dlg, bool on) {
    for (int id : {kNameEdit, kValueEdit, kChange}) {
        EnableWindow(GetDlgItem(dlg, id), on ? TRUE : FALSE);
    }
}

// The register of the list's selection, or -1.
int selected_register(HWND dlg) {
    const LRESULT at = SendDlgItemMessageA(dlg, kRegisterList, LB_GETCURSEL, 0, 0);
    if (at == LB_ERR) {
        return -1;
    }
    return static_cast<int>(
        SendDlgItemMessageA(dlg, kRegisterList, LB_GETITEMDATA, static_cast<WPARAM>(at), 0));
}

void show_register(HWND dlg, int position) {
    SetDlgItemTextA(dlg, kNameEdit, kRegisterNames[position]);
    char value[16];
    std::snprintf(value, sizeof value, "%#x",
                  static_cast<unsigned>(read_register(offset_of(position))));
    SetDlgItemTextA(dlg, kValueEdit, value);
}

void change(HWND dlg) {
    if (chosen_register < 0) {
        return;
    }
    char text[32] = {};
    GetDlgItemTextA(dlg, kValueEdit, text, sizeof text);
    unsigned value = 0;
    if (std::sscanf(text, "%x", &value) != 1) {
        return;
    }
    write_register(value, offset_of(chosen_register));
    const int count = static_cast<int>(SendDlgItemMessageA(dlg, kRegisterList, LB_GETCOUNT, 0, 0));
    for (int at = 0; at < count; ++at) {
        if (SendDlgItemMessageA(dlg, kRegisterList, LB_GETITEMDATA, static_cast<WPARAM>(at), 0) !=
            chosen_register) {
            continue;
        }
        const std::string line =
            register_line(chosen_register, read_register(offset_of(chosen_register)));
        SendDlgItemMessageA(dlg, kRegisterList, LB_DELETESTRING, static_cast<WPARAM>(at), 0);
        SendDlgItemMessageA(dlg, kRegisterList, LB_INSERTSTRING, static_cast<WPARAM>(at),
                            reinterpret_cast<LPARAM>(line.c_str()));
        SendDlgItemMessageA(dlg, kRegisterList, LB_SETITEMDATA, static_cast<WPARAM>(at),
                            chosen_register);
        SendDlgItemMessageA(dlg, kRegisterList, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
        break;
    }
    enable_editing(dlg, false);
}

void command(HWND dlg, int id, int code) {
    switch (id) {
    case kRegisterList: {
        const int position = selected_register(dlg);
        if (position < 0 || (code != LBN_SELCHANGE && code != LBN_DBLCLK)) {
            break;
        }
        show_register(dlg, position);
        if (code == LBN_DBLCLK) {
            chosen_register = position;
        }
        enable_editing(dlg, code == LBN_DBLCLK);
        break;
    }
    case kChange:
        change(dlg);
        break;
    case kReset:
        write_register(0, kSReset);
        fill_registers(dlg);
        break;
    case kHelpButton:
        run_help_viewer(
            dlg, static_cast<int>(SendDlgItemMessageA(dlg, kRegisterList, LB_GETCURSEL, 0, 0)));
        break;
    case IDOK:
    case IDCANCEL:
        EndDialog(dlg, id);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK board_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto& in = *reinterpret_cast<DeviceInstance*>(lparam);
        chosen_register = -1;
        set_caption(dlg, in.index + 1);
        fill_pci(dlg, in);
        fill_registers(dlg);
        return TRUE;
    }
    case WM_COMMAND:
        command(dlg, LOWORD(wparam), HIWORD(wparam));
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

INT_PTR run_board_dialog(DeviceInstance& in, HWND owner) {
    return DialogBoxParamA(copy().module, MAKEINTRESOURCEA(kBoardTemplate), owner, board_proc,
                           reinterpret_cast<LPARAM>(&in));
}

} // namespace tarvovfw
