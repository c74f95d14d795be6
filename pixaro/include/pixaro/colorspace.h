// The colour-conversion library's one export: whole-picture conversion between packed
// YUV 4:1:1, YUY2 and 32-bit BGRX. Rows follow one another without padding; the caller owns
// and sizes both buffers.
#pragma once

#include <cstdint>

#if defined(__i386__)
#define PIXARO_CDECL __attribute__((cdecl))
#else
#define PIXARO_CDECL
#endif

namespace pixaro {

// Format codes of ColorspaceConv.
inline constexpr std::int32_t BTYUV = 0; // packed YUV 4:1:1, 12 bytes per 8 pixels
inline constexpr std::int32_t YUY2 = 1;  // packed YUV 4:2:2, 4 bytes per 2 pixels
inline constexpr std::int32_t BGRX = 2;  // 4 bytes per pixel: B G R 0

} // namespace pixaro

// Converts a width x height picture from src (format src_format) into dst (format
// dst_format). Supported pairs (dst, src): (YUY2, BTYUV), (BTYUV, YUY2), (BGRX, YUY2).
// Returns 1 when converted (height 0 converts nothing), 0 when refused with nothing written:
// a null buffer, an unsupported pair, or a width the conversion does not take.
extern "C" __attribute__((visibility("default"))) std::int32_t PIXARO_CDECL
ColorspaceConv(void* dst, const void* src, std::uint32_t width, std::uint32_t height,
               std::int32_t dst_format, std::int32_t src_format);
