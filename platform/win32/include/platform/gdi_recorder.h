// Device contexts that record what is painted into them, for tests of painting code.
#pragma once

#include "win32/gdi.h"

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
// GDI objects alive now (brushes not deleted), stock objects excluded.
std::size_t live_objects();

} // namespace platform::gdi
