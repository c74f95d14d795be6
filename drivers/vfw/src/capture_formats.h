// Capture formats: the format codes, the header built for each, the headers accepted from the
// capture layer, the palette of the 8-bit format, and the rectangle messages.
#pragma once

#include "driver_state.h"

namespace tarvovfw {

inline constexpr DWORD kFourccY8 = mmioFOURCC('Y', '8', ' ', ' ');
inline constexpr DWORD kFourccYuy2 = mmioFOURCC('Y', 'U', 'Y', '2');
inline constexpr DWORD kFourccYvu9 = mmioFOURCC('Y', 'V', 'U', '9');

// Capture sizes the formats accept.
inline constexpr LONG kMaxWidth = 924;
inline constexpr LONG kMaxHeight = 576;

// The header of a format code; code 2 is built as 16-bit BI_RGB with marker 0.
BITMAPINFOHEADER build_format_header(DWORD code, LONG width, LONG height);
// The 64 grey entries of version 0x300.
void set_initial_palette(DeviceInstance& instance);
// Frees the palette translation table.
void free_translation_table(DeviceInstance& instance);
// DVM_FORMAT set: the header may be changed in place; DV_ERR_ results.
LRESULT set_capture_format(DeviceInstance& instance, BITMAPINFOHEADER* header, DWORD size);
LRESULT set_palette(DeviceInstance& instance, const LOGPALETTE* palette, const BYTE* table);

// DVM_PALETTE, DVM_FORMAT, DVM_PALETTERGB555 on the video-in channel.
LRESULT configure_message(DeviceInstance& instance, UINT message, LPARAM flags, LPARAM parms);
// DVM_SRC_RECT and DVM_DST_RECT on any channel.
LRESULT rectangle_message(DeviceInstance& instance, DWORD channel, UINT message, LPARAM rect,
                          LPARAM flags);

} // namespace tarvovfw
