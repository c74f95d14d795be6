// Automatic camera level control: the brightness of a frame, sampled on a 16 x 16 grid, nudges
// the camera's level (0..63) so that the brightest samples sit just below saturation. A step
// is applied only when it agrees in sign with the two steps before it.
#pragma once

#include "base/limits.h"

#include <array>
#include <cstdint>
#include <functional>

namespace station {

// The last three level steps of one camera on one board, with the ring position 1..3 of the
// next entry.
struct LevelStepHistory {
    std::array<std::int32_t, 3> Steps{};
    std::int32_t Position = 1;

    void Reset() { *this = LevelStepHistory{}; }
    // Writes `step` at the ring position and advances it (3 -> 1).
    void Record(std::int32_t step);
};

// Per board 1..4 and camera 1..16 (entries [board - 1][camera - 1]).
using LevelStepTable = std::array<std::array<LevelStepHistory, kCameraCount>, kChipCount>;

// 0 unless all three history entries have the sign of `step` (negative, or zero and positive).
std::int32_t DampLevelStep(const LevelStepHistory& history, std::int32_t step);

// The frame being dispatched: its size, bits per pixel and luminance 0..255 of pixel (x, y),
// y counted from the top.
struct LevelFrame {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bits_per_pixel;
    std::function<int(int x, int y)> luma;
};

// The camera's new level (0..63) after judging `frame`, from its `level` now; records the step
// in `history`.
std::int32_t AutoLevelCamera(const LevelFrame& frame, std::int32_t level,
                             LevelStepHistory& history);

} // namespace station
