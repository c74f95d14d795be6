// Pixaro: the library's entry point and its one export.
#include "paths.h"

#include <pixaro/colorspace.h>

// The library does no work on load or unload, so it has no entry routine: the loader's
// default accepts every notification.

extern "C" std::int32_t PIXARO_CDECL ColorspaceConv(void* dst, const void* src, std::uint32_t width,
                                                    std::uint32_t height, std::int32_t dst_format,
                                                    std::int32_t src_format) {
    return pixaro::Convert(dst, src, width, height, dst_format, src_format, nullptr);
}
