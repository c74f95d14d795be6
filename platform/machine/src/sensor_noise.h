// What a real camera adds to its scene: sensor noise and a slow lighting drift. The noise is
// drawn from tables shared by every chip (one per level), added to each byte of a line as the
// DMA writes it, from a random place in the table per line.
#pragma once

#include <cstdint>

namespace machine {

// Noise of standard deviation `level` (8-bit levels), added to byte i of a line with
// saturation. The `rgb32` table leaves every fourth byte (the zero byte of RGB32 pixels) alone.
// Room for any line (at most 4 KB) from any start offset below kNoiseOffsets.
inline constexpr std::uint32_t kNoiseOffsets = 4096;
const std::int8_t* noise_table(int level, bool rgb32);

// True for the pixel formats whose bytes are samples (noise is added byte by byte); the packed
// 8- and 16-bit RGB formats keep their exact bit fields.
bool noise_applies(std::uint32_t code);

// Luma offset of the lighting drift of camera `number` with peak `drift` at tick `now`.
int drift_offset(int number, int drift, std::uint32_t now);

} // namespace machine
