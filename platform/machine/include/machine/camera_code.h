// Reading the camera number back from a captured picture.
//
// Every camera's scene carries a code strip near the top of the frame: in the band of rows
// 4 %..14 % of the height, eight cells of equal width spanning 10 %..90 % of the width. Cell 0 is
// white (Y 235), cell 1 black (Y 16), cells 2-7 are the six bits of the camera number (most
// significant first; white = 1), camera number = 16 x (board - 1) + crosspoint input. The code
// lives in luma only, so it survives any scaling down to 192 x 144, every pixel format and the
// camera-level gain; a decoder thresholds each cell at the midpoint of cells 0 and 1.
#pragma once

#include <cstddef>

#include "machine/types.h"

namespace machine {

// Decodes the camera number (1-64) from a picture of `width` x `height` pixels in `format`.
// `stride` is the byte distance between rows (0 = the packed line length); `bottom_up` means the
// first row in memory is the bottom row. Returns 0 for a picture without a signal (flat black),
// -1 when no code strip is found.
int read_camera_number(const void* picture, int width, int height, ColorFormat format,
                       bool bottom_up, std::size_t stride = 0);

// Luma (0-255) of pixel (x, y), y counted from the top, in any modelled format.
int pixel_luma(const void* picture, int width, int height, ColorFormat format, bool bottom_up,
               int x, int y, std::size_t stride = 0);

} // namespace machine
