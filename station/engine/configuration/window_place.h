// The place of a window on the screen as a stored configuration keeps it: the main window's and
// every camera window's left and top edge, height and width in pixels.
#pragma once

#include <cstdint>

namespace station {

struct WindowPlace {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    bool operator==(const WindowPlace&) const = default;
};

} // namespace station
