// One small function per control request of the kernel device, and direct access to the chip's
// decoder registers through the user-space register window the kernel driver maps.
#pragma once

#include "driver_state.h"

namespace tarvovfw {

// Requests without data; TRUE when the kernel device accepted them.
bool send_simple(HANDLE device, DWORD code);
// SET_FORMAT / SET_SOURCE / SET_COLOR: the record's first word is its length.
bool send_format(HANDLE device, const TARVO_FORMAT& record);
bool send_source(HANDLE device, const TARVO_SOURCE& record);
bool send_colour(HANDLE device, const TARVO_COLOR& record);
// The 4-byte answers; 0 when the request fails.
DWORD get_overlay_mode(HANDLE device);
DWORD get_key(HANDLE device);
bool set_key_rgb(HANDLE device, BYTE red, BYTE green, BYTE blue);
bool set_key_index(HANDLE device, DWORD index);
// count 0 sends nothing and answers false.
bool set_overlay_rects(HANDLE device, DWORD count, const RECT* rects);
bool set_overlay_offset(HANDLE device, const RECT& rect);
bool overlay(HANDLE device, bool on);
bool external_in(HANDLE device, bool on);
bool read_pci_config(HANDLE device, TARVO_BOARD_INFO& info);
bool write_pci_config(HANDLE device, const TARVO_BOARD_INFO& info);
// The user address of the chip's register window, 0 when there is none.
std::uintptr_t map_register_window(HANDLE device);

// Decoder registers.
enum : DWORD {
    kDStatus = 0x000,
    kIForm = 0x004,
    kBright = 0x028,
    kEControl = 0x02C,
    kContrastLo = 0x030,
    kSatULo = 0x034,
    kSatVLo = 0x038,
    kHue = 0x03C,
    kEVScaleHi = 0x04C,
    kADelay = 0x060,
    kBDelay = 0x064,
    kAdc = 0x068,
    kSReset = 0x07C,
    kOControl = 0x0AC,
    kOVScaleHi = 0x0CC,
    kDvsif = 0x0FC,
};
inline constexpr int kDumpWords = 73;

// Access through the copy's register window (copy().register_window); without a window reads
// answer 0xFFFFFFFF and writes do nothing.
DWORD read_register(DWORD offset);
void write_register(DWORD value, DWORD offset);
void dump_registers(DWORD (&words)[kDumpWords]);

int set_input_mux(int input, int delay_ms);
int set_cable_format(bool svideo);
int set_brightness(int value);
int set_contrast(int value);
int set_hue(int value);
int set_saturation(int value);
int set_comb_filter(bool on);
int set_video_standard(int standard);

int get_input_mux();
int get_cable_format();
int get_video_standard();
int get_brightness();
int get_contrast();
int get_hue();
int get_saturation();
DWORD get_decoder_status();

} // namespace tarvovfw
