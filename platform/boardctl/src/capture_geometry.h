// The capture format the kernel driver last programmed, read back from the chip's registers:
// the colour format from COLOR_FMT, the width from HACTIVE, the height from the vertical scale.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace boardctl {

struct CaptureGeometry {
    std::uint32_t color_format;
    std::uint32_t width;
    std::uint32_t height;
};

// `registers`: the words 0x000 to 0x120 (at least the 64 decoder registers).
// The driver scales a picture taller than half the norm's lines from both fields and a lower one
// from one field; the scale alone can give one height of each kind, and then the one nearer to a
// 4:3 picture of that width is taken. Nothing when no height reproduces the scale.
std::optional<CaptureGeometry> programmed_geometry(std::span<const std::uint32_t> registers);

} // namespace boardctl
