// Device contexts that record what is painted into them, for tests of painting code.
#pragma once

#include "win32/gdi.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::gdi {

// One fill: the rectangle (right and bottom excluded) and the brush's colour.
struct Fill {
    RECT rect{};
    COLORREF colour = 0;
};

// A new recording context; free it with delete_dc.
HDC create_dc();
void delete_dc(HDC dc);
// The fills painted into `dc` so far, oldest first (empty for an unknown context).
std::vector<Fill> fills(HDC dc);
// The brush selected into `dc` (null for an unknown context).
HGDIOBJ selected_brush(HDC dc);
// GDI objects alive now (brushes and bitmaps not deleted), stock objects excluded.
std::size_t live_objects();

// The pixels of the 32-bit bitmap selected into memory context `dc`: rows of `stride` bytes,
// blue, green, red and a zero byte per pixel, the first row the top one when `top_down`.
struct Surface {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    bool top_down = false;
};
// Nothing for an unknown context or one without a bitmap of its own selected.
std::optional<Surface> surface(HDC dc);

} // namespace platform::gdi
