// The checks of ColorspaceConv in their order and the choice of the conversion unit.
#include "paths.h"
#include "units.h"

#include <pixaro/colorspace.h>

#include <algorithm>

namespace pixaro {
namespace {

// The path to run: the one chosen once, or the given one lowered to what the processor runs.
Path Effective(const Path* path) {
    if (path == nullptr)
        return ChosenPath();
    const Simd widest = ChosenPath().simd;
    return Path{path->cls, std::min(path->simd, widest)};
}

} // namespace

std::int32_t Convert(void* dst, const void* src, std::uint32_t width, std::uint32_t height,
                     std::int32_t dst_format, std::int32_t src_format, const Path* path) {
    if (dst == nullptr || src == nullptr)
        return 0;
    auto* out = static_cast<std::uint8_t*>(dst);
    const auto* in = static_cast<const std::uint8_t*>(src);
    if (dst_format == YUY2 && src_format == BTYUV)
        return Convert411To422(out, in, width, height, Effective(path));
    if (dst_format == BTYUV && src_format == YUY2)
        return Convert422To411(out, in, width, height);
    if (dst_format == BGRX && src_format == YUY2)
        return Convert422ToRgb32(out, in, width, height, Effective(path));
    return 0;
}

} // namespace pixaro
