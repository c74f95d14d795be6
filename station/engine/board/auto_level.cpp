#include "auto_level.h"

#include <algorithm>

namespace station {
namespace {

struct Thresholds {
    double saturation;
    double low;
    double high;
};

Thresholds thresholds(std::int32_t bits_per_pixel) {
    if (bits_per_pixel == 16) {
        return {248.0, 233.0, 243.0};
    }
    return {255.0, 240.0, 250.0};
}

constexpr int kGrid = 16;
constexpr std::int32_t kMaxStep = 5;

} // namespace

void LevelStepHistory::Record(std::int32_t step) {
    const std::int32_t p = (Position >= 1 && Position <= 3) ? Position : 1;
    Steps[static_cast<std::size_t>(p - 1)] = step;
    Position = p == 3 ? 1 : p + 1;
}

std::int32_t DampLevelStep(const LevelStepHistory& history, std::int32_t step) {
    const bool negative = step < 0;
    for (const std::int32_t s : history.Steps) {
        if ((s < 0) != negative) {
            return 0;
        }
    }
    return step;
}

std::int32_t AutoLevelCamera(const LevelFrame& frame, std::int32_t level,
                             LevelStepHistory& history) {
    const int sx = frame.width / 17;
    const int sy = frame.height / 17;
    int brightest = 0;
    int saturated = 0;
    const Thresholds t = thresholds(frame.bits_per_pixel);
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            const int v = frame.luma(sx * (i + 1), sy * (j + 1));
            brightest = std::max(brightest, v);
            if (v == t.saturation) {
                ++saturated;
            }
        }
    }
    const auto apply = [&](std::int32_t step) {
        history.Record(step);
        level += DampLevelStep(history, step);
    };
    const double m = brightest;
    if (m >= t.saturation) {
        apply(saturated >= 40 ? kMaxStep : saturated / 8 + 1);
    } else if (m < t.low) {
        apply(-std::min(static_cast<std::int32_t>((t.saturation - m) / 32) + 1, kMaxStep));
    } else if (m > t.high) {
        apply(std::min(static_cast<std::int32_t>((m - t.high) / 32) + 1, kMaxStep));
    }
    return std::clamp(level, std::int32_t{0}, kMaxCameraLevel);
}

} // namespace station
