#include "frame_pixels.h"

namespace station {

using frame_pixels_detail::PixelOffset;
using frame_pixels_detail::RowBytesOfKnown;

std::int64_t FrameRowBytes(const FrameFormat& format) {
    return FrameFormatKnown(format) ? RowBytesOfKnown(format) : 0;
}

bool FrameFits(const FrameFormat& format, std::size_t size) {
    if (!FrameFormatKnown(format)) {
        return false;
    }
    // The top row is stored last; its last pixel ends the bytes the frame needs. In 4:1:1 a
    // width that is not a multiple of 8 can reach past width x 12 / 8.
    const std::int64_t row = RowBytesOfKnown(format);
    std::int64_t lastRowNeed = row;
    if (format.BitCount == 16 && format.SubformatMarker == kSubformatPacked411) {
        // Offset of the last pixel within its row: the bottom row is stored at offset 0.
        lastRowNeed = PixelOffset(format.Width - 1, format.Height - 1, format) + 1;
    }
    const auto available = static_cast<std::uint64_t>(size);
    if (available < static_cast<std::uint64_t>(lastRowNeed) || row <= 0) {
        return false;
    }
    const std::uint64_t rowsBefore = static_cast<std::uint64_t>(format.Height) - 1;
    return rowsBefore <=
           (available - static_cast<std::uint64_t>(lastRowNeed)) / static_cast<std::uint64_t>(row);
}

void DrawFramePoint(int x, int y, const FrameFormat& format, std::span<std::uint8_t> pixels) {
    if (x < 0 || x >= 1000 || y < 0 || y >= 1000 || !FrameFits(format, pixels.size())) {
        return;
    }
    std::uint8_t* p = pixels.data() + PixelOffset(PerMilleToPixel(format.Width, x),
                                                  PerMilleToPixel(format.Height, y), format);
    switch (format.BitCount) {
    case 8:
        p[0] = 255;
        break;
    case 16:
        if (format.SubformatMarker == kSubformatRgb555) {
            p[0] = 3;
            p[1] = 255;
        } else {
            p[0] = 255;
        }
        break;
    case 24:
        p[0] = 0;
        p[1] = 255;
        p[2] = 255;
        break;
    default:
        p[0] = 0;
        p[1] = 0;
        p[2] = 255;
        p[3] = 255;
        break;
    }
}

} // namespace station
