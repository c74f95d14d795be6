// The "p<N>t<M>" file of a stored configuration: the detection points of the camera window in
// slot M. No version word: always all 10000 pairs (int32 x, int32 y; per mille), whatever the
// window's PointCount is.
#pragma once

#include "detector/detection_fields.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace station {

// Point k is entry k - 1. A missing file: every coordinate 0.
struct ChanelPoints {
    std::array<std::int32_t, kMaxDetectionPoints> X{};
    std::array<std::int32_t, kMaxDetectionPoints> Y{};
    bool operator==(const ChanelPoints&) const = default;
};

std::vector<std::uint8_t> EncodeChanelPoints(const ChanelPoints& points);
// Coordinates past the end of the data stay 0.
ChanelPoints DecodeChanelPoints(std::span<const std::uint8_t> bytes);

} // namespace station
