#include "machine/camera_code.h"

#include <algorithm>
#include <cmath>

#include "scene.h"

namespace machine {
namespace {

int luma_from_rgb(int r, int g, int b) {
    return int(std::lround(16 + (0.257 * r + 0.504 * g + 0.098 * b)));
}

} // namespace

int pixel_luma(const void* picture, int width, int height, ColorFormat format, bool bottom_up,
               int x, int y, std::size_t stride) {
    const std::uint32_t code = std::uint32_t(format);
    if (stride == 0) {
        stride = line_bytes(code, std::uint32_t(width));
    }
    const int row = bottom_up ? height - 1 - y : y;
    const auto* line = static_cast<const std::uint8_t*>(picture) + std::size_t(row) * stride;
    switch (code) {
    case 0:
        return luma_from_rgb(line[4 * x + 2], line[4 * x + 1], line[4 * x]);
    case 1:
        return luma_from_rgb(line[3 * x + 2], line[3 * x + 1], line[3 * x]);
    case 2: {
        const unsigned v = line[2 * x] | unsigned(line[2 * x + 1]) << 8;
        return luma_from_rgb(int((v >> 11) << 3), int(((v >> 5) & 0x3F) << 2),
                             int((v & 0x1F) << 3));
    }
    case 3: {
        const unsigned v = line[2 * x] | unsigned(line[2 * x + 1]) << 8;
        return luma_from_rgb(int(((v >> 10) & 0x1F) << 3), int(((v >> 5) & 0x1F) << 3),
                             int((v & 0x1F) << 3));
    }
    case 4:
    case 8:
        return line[2 * x];
    case 5:
    case 9: {
        static constexpr int kY[8] = {1, 3, 5, 7, 8, 9, 10, 11};
        return line[12 * (x / 8) + kY[x % 8]];
    }
    case 7: {
        const unsigned v = line[x];
        return luma_from_rgb(int((v >> 5) << 5), int(((v >> 2) & 7) << 5), int((v & 3) << 6));
    }
    default:
        return line[x];
    }
}

int read_camera_number(const void* picture, int width, int height, ColorFormat format,
                       bool bottom_up, std::size_t stride) {
    if (picture == nullptr || width < 16 || height < 16) {
        return -1;
    }
    const int y = height * (kCodeTop + kCodeBottom) / 2000;
    int cells[kCodeCells];
    for (int cell = 0; cell < kCodeCells; ++cell) {
        const int x = width * (2 * kCodeLeft + kCodeCell * (2 * cell + 1)) / 2000;
        cells[cell] = pixel_luma(picture, width, height, format, bottom_up, x, y, stride);
    }
    const int white = cells[0], black = cells[1];
    if (white - black < 40) {
        return (white < 40 && black < 40) ? 0 : -1;
    }
    const int threshold = (white + black) / 2;
    int number = 0;
    for (int cell = 2; cell < kCodeCells; ++cell) {
        number = number * 2 + (cells[cell] > threshold ? 1 : 0);
    }
    return number >= 1 ? number : -1;
}

} // namespace machine
