// Scalar form of the two fixed-point YUY2 -> BGRX paths, which compute in signed 16-bit lanes:
// each term is the high half of (x << 7) * K with K the coefficient scaled by 8192.
#pragma once

#include "kernels.h"

#include <cstdint>

namespace pixaro {

inline constexpr std::int16_t kLuma = 9535;   // 1.164
inline constexpr std::int16_t kRedV = 13074;  // 1.596
inline constexpr std::int16_t kGreenU = 3203; // 0.391
inline constexpr std::int16_t kGreenV = 6660; // 0.813
inline constexpr std::int16_t kBlueU = 16531; // 2.018

// Converts pairs [first, pairs) of one row.
void RowFixedScalar(std::uint8_t* dst, const std::uint8_t* src, std::uint32_t first,
                    std::uint32_t pairs, FixedPoint variant);

// Converts the second pixel of a row's last pair (at src, to dst), which takes the pair's own
// chroma; the first pixel is as in any pair.
void LastPixelFixedScalar(std::uint8_t* dst, const std::uint8_t* src, FixedPoint variant);

} // namespace pixaro
