// The three conversion units. Each checks the width it takes (0 when refused), converts every
// row and returns 1; height 0 converts nothing and returns 1. Buffers are not null.
#pragma once

#include "paths.h"

#include <cstdint>

namespace pixaro {

// C411_422: packed 4:1:1 to YUY2; width a multiple of 8, at least 8.
std::int32_t Convert411To422(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t width,
                             std::uint32_t height, Path path);

// C422_411: YUY2 to packed 4:1:1; width a multiple of 8, at least 8.
std::int32_t Convert422To411(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t width,
                             std::uint32_t height);

// C422_rgb32: YUY2 to BGRX; the width rule depends on the path (see c422_rgb32.cpp).
std::int32_t Convert422ToRgb32(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t width,
                               std::uint32_t height, Path path);

} // namespace pixaro
