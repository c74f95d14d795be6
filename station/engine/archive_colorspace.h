// The colour-conversion library's export, as the archive writer calls it.
// Formats: 0 packed YUV 4:1:1, 1 YUY2, 2 32-bit BGRX. Returns 1 converted, 0 refused.
#pragma once

extern "C" int ColorspaceConv(void* dst, const void* src, int width, int height, int dst_format,
                              int src_format);
