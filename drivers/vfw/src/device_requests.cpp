#include "device_requests.h"

#include "win32/devio.h"
#include "win32/synch.h"
#include "win32/threads.h"

#include <algorithm>
#include <cstring>

namespace tarvovfw {
namespace {

bool control(HANDLE device, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size) {
    DWORD bytes = 0;
    return DeviceIoControl(device, code, const_cast<void*>(in), in_size, out, out_size, &bytes,
                           nullptr) != FALSE;
}

DWORD read_value(HANDLE device, DWORD code) {
    DWORD value = 0;
    return control(device, code, nullptr, 0, &value, sizeof value) ? value : 0;
}

// The scale pair of the saturation gains under the current decoder set-up.
void saturation_scale(DWORD& u, DWORD& v) {
    if ((read_register(kDvsif) & 7) != 0) {
        u = v = 128;
    } else if ((read_register(kIForm) & 7) == 6) {
        u = 135;
        v = 133;
    } else {
        u = 254;
        v = 180;
    }
}

void set_bits(DWORD offset, DWORD clear, DWORD set) {
    write_register((read_register(offset) & ~clear) | set, offset);
}

} // namespace

bool send_simple(HANDLE device, DWORD code) {
    return control(device, code, nullptr, 0, nullptr, 0);
}

bool send_format(HANDLE device, const TARVO_FORMAT& record) {
    return control(device, IOCTL_TARVO_SET_FORMAT, &record, record.size, nullptr, 0);
}

bool send_source(HANDLE device, const TARVO_SOURCE& record) {
    return control(device, IOCTL_TARVO_SET_SOURCE, &record, record.size, nullptr, 0);
}

bool send_colour(HANDLE device, const TARVO_COLOR& record) {
    return control(device, IOCTL_TARVO_SET_COLOR, &record, record.size, nullptr, 0);
}

DWORD get_overlay_mode(HANDLE device) {
    return read_value(device, IOCTL_TARVO_GET_OVERLAY_MODE);
}

DWORD get_key(HANDLE device) {
    return read_value(device, IOCTL_TARVO_GET_KEY);
}

bool set_key_rgb(HANDLE device, BYTE red, BYTE green, BYTE blue) {
    const BYTE key[4] = {red, green, blue, 0};
    return control(device, IOCTL_TARVO_SET_KEY_RGB, key, sizeof key, nullptr, 0);
}

bool set_key_index(HANDLE device, DWORD index) {
    const DWORD key = index & 0xFFFF;
    return control(device, IOCTL_TARVO_SET_KEY_INDEX, &key, sizeof key, nullptr, 0);
}

bool set_overlay_rects(HANDLE device, DWORD count, const RECT* rects) {
    if (count == 0 || count > 64 || rects == nullptr) {
        return false;
    }
    BYTE data[4 + 64 * sizeof(RECT)];
    std::memcpy(data, &count, 4);
    std::memcpy(data + 4, rects, count * sizeof(RECT));
    return control(device, IOCTL_TARVO_SET_OVERLAY_RECTS, data, 4 + count * sizeof(RECT), nullptr,
                   0);
}

bool set_overlay_offset(HANDLE device, const RECT& rect) {
    return control(device, IOCTL_TARVO_SET_OVERLAY_OFFSET, &rect, sizeof rect, nullptr, 0);
}

bool overlay(HANDLE device, bool on) {
    return send_simple(device, on ? IOCTL_TARVO_OVERLAY_ON : IOCTL_TARVO_OVERLAY_OFF);
}

bool external_in(HANDLE device, bool on) {
    return send_simple(device, on ? IOCTL_TARVO_EXTIN_ON : IOCTL_TARVO_EXTIN_OFF);
}

bool read_pci_config(HANDLE device, TARVO_BOARD_INFO& info) {
    return control(device, IOCTL_TARVO_READ_PCI_CONFIG, nullptr, 0, &info, sizeof info);
}

bool write_pci_config(HANDLE device, const TARVO_BOARD_INFO& info) {
    return control(device, IOCTL_TARVO_WRITE_PCI_CONFIG, &info, sizeof info, nullptr, 0);
}

std::uintptr_t map_register_window(HANDLE device) {
    // In: the process's pseudo-handle (4 bytes); out: the pointer-sized window address.
    TARVO_REGISTER_WINDOW buffer = reinterpret_cast<std::uintptr_t>(GetCurrentProcess());
    if (!control(device, IOCTL_TARVO_MAP_REGISTERS, &buffer, 4, &buffer, sizeof buffer)) {
        return 0;
    }
    return buffer;
}

DWORD read_register(DWORD offset) {
    const std::uintptr_t window = copy().register_window;
    if (window == 0) {
        return 0xFFFFFFFFu;
    }
    return *reinterpret_cast<volatile DWORD*>(window + offset);
}

void write_register(DWORD value, DWORD offset) {
    const std::uintptr_t window = copy().register_window;
    if (window != 0) {
        *reinterpret_cast<volatile DWORD*>(window + offset) = value;
    }
}

void dump_registers(DWORD (&words)[kDumpWords]) {
    for (int i = 0; i < kDumpWords; ++i) {
        words[i] = read_register(static_cast<DWORD>(4 * i));
    }
}

int set_input_mux(int input, int delay_ms) {
    if (delay_ms > 0) {
        Sleep(static_cast<DWORD>(delay_ms));
    }
    set_bits(kIForm, 0x60, (static_cast<DWORD>(input) & 3) << 5);
    return 0;
}

int set_cable_format(bool svideo) {
    for (DWORD reg : {kEControl, kOControl}) {
        set_bits(reg, 0xC0, svideo ? 0x40 : 0x80);
    }
    set_bits(kAdc, 0x02, svideo ? 0 : 0x02);
    return 0;
}

int set_brightness(int value) {
    write_register(static_cast<DWORD>(value - 128) & 0xFF, kBright);
    return 0;
}

int set_contrast(int value) {
    const DWORD c = std::min<DWORD>(2 * static_cast<DWORD>(value), 511);
    write_register(c & 0xFF, kContrastLo);
    for (DWORD reg : {kEControl, kOControl}) {
        set_bits(reg, 0x04, (c >> 8) & 1 ? 0x04 : 0);
    }
    return 0;
}

int set_hue(int value) {
    write_register(static_cast<DWORD>(value), kHue);
    return 0;
}

int set_saturation(int value) {
    DWORD u = 0, v = 0;
    saturation_scale(u, v);
    const DWORD twice = 2 * static_cast<DWORD>(value);
    const DWORD su = twice * u / u;
    const DWORD sv = twice * v / u;
    write_register(su, kSatULo);
    write_register(sv, kSatVLo);
    const DWORD high = ((su >> 8) & 1) << 1 | ((sv >> 8) & 1);
    for (DWORD reg : {kEControl, kOControl}) {
        set_bits(reg, 0x03, high);
    }
    return 0;
}

int set_comb_filter(bool on) {
    for (DWORD reg : {kEVScaleHi, kOVScaleHi}) {
        set_bits(reg, 0x40, on ? 0x40 : 0);
    }
    return 0;
}

int set_video_standard(int standard) {
    if (standard < 0 || standard > 7) {
        return 1;
    }
    if (standard == 0) {
        set_video_standard((read_register(kDStatus) & 0x10) != 0 ? 3 : 1);
    } else {
        set_bits(kIForm, 7, static_cast<DWORD>(standard));
        if (standard == 3 || standard == 5) {
            write_register(127, kADelay);
            write_register(114, kBDelay);
            set_comb_filter(true);
        } else if (standard == 6) {
            write_register(127, kADelay);
            write_register(160, kBDelay);
            set_comb_filter(false);
        } else {
            write_register(112, kADelay);
            write_register(93, kBDelay);
            set_comb_filter(true);
        }
    }
    set_saturation(get_saturation());
    return 0;
}

int get_input_mux() {
    return static_cast<int>((read_register(kIForm) >> 5) & 3);
}

int get_cable_format() {
    return static_cast<int>((read_register(kEControl) >> 6) & 1);
}

int get_video_standard() {
    return static_cast<int>(read_register(kIForm) & 7);
}

int get_brightness() {
    return static_cast<int>((read_register(kBright) - 128) & 0xFF);
}

int get_contrast() {
    return static_cast<int>(
        ((read_register(kContrastLo) & 0xFF) + 256 * ((read_register(kEControl) >> 2) & 1)) / 2);
}

int get_hue() {
    return static_cast<int>(read_register(kHue));
}

int get_saturation() {
    DWORD u = 0, v = 0;
    saturation_scale(u, v);
    const DWORD control_bits = read_register(kEControl);
    const DWORD su = (read_register(kSatULo) & 0xFF) + 256 * ((control_bits >> 1) & 1);
    const DWORD sv = (read_register(kSatVLo) & 0xFF) + 256 * (control_bits & 1);
    return static_cast<int>(std::max(su, sv * u / v) / 2);
}

DWORD get_decoder_status() {
    return read_register(kDStatus);
}

} // namespace tarvovfw
