// The cameras' scenes: each camera paints a flat background in its own colour, a vertical bar at
// its own place, the code strip carrying its number (camera_code.h) and any scheduled objects.
// A scene row is produced as spans of equal samples, so it costs little per line.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/config.h"

namespace machine {

struct Sample {
    std::uint8_t y = 16, cb = 128, cr = 128;
    bool operator==(const Sample&) const = default;
};

// Pixels [x0, x1) of a row take sample `s`; later spans paint over earlier ones.
struct Span {
    int x0 = 0, x1 = 0;
    Sample s;
    bool operator==(const Span&) const = default;
};

// Spans of frame row `row` of `rows` rows, `width` pixels wide, for camera `number` (1-64; 0 =
// no signal) at platform tick `now`.
void scene_row(int number, const CameraConfig* camera, std::uint32_t now, int row, int rows,
               int width, std::vector<Span>& out);

// The code strip's geometry, per mille of the frame.
inline constexpr int kCodeTop = 40, kCodeBottom = 140;
inline constexpr int kCodeLeft = 100, kCodeCell = 100, kCodeCells = 8;

} // namespace machine
