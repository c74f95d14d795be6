#include "frame_pixels.h"

namespace station {

namespace {

// Y byte of pixel x mod 8 inside its 12-byte group of the packed 4:1:1 format.
constexpr int kPacked411Y[8] = {1, 3, 5, 7, 8, 9, 10, 11};

// Offset of the byte that starts pixel x (for 4:1:1: its Y byte) inside a row.
std::int64_t PixelOffsetInRow(int x, const FrameFormat& format) {
    switch (format.BitCount) {
    case 8:
        return x;
    case 16:
        if (format.SubformatMarker == kSubformatPacked411) {
            return static_cast<std::int64_t>(x / 8) * 12 + kPacked411Y[x % 8];
        }
        return static_cast<std::int64_t>(x) * 2;
    case 24:
        return static_cast<std::int64_t>(x) * 3;
    default:
        return static_cast<std::int64_t>(x) * 4;
    }
}

// Bytes per stored row of a known format.
std::int64_t RowBytesOfKnown(const FrameFormat& format) {
    if (format.BitCount == 16 && format.SubformatMarker == kSubformatPacked411) {
        return static_cast<std::int64_t>(format.Width) * 12 / 8;
    }
    return static_cast<std::int64_t>(format.Width) * (format.BitCount / 8);
}

// Start of row y (counted from the top) in the bottom-up frame of a known format.
std::int64_t RowOffset(int y, const FrameFormat& format) {
    return static_cast<std::int64_t>(format.Height - 1 - y) * RowBytesOfKnown(format);
}

} // namespace

bool FrameFormatKnown(const FrameFormat& format) {
    if (format.Width <= 0 || format.Height <= 0) {
        return false;
    }
    switch (format.BitCount) {
    case 8:
    case 24:
    case 32:
        return true;
    case 16:
        return format.SubformatMarker >= kSubformatRgb555 &&
               format.SubformatMarker <= kSubformatPacked411;
    default:
        return false;
    }
}

std::int64_t FrameRowBytes(const FrameFormat& format) {
    return FrameFormatKnown(format) ? RowBytesOfKnown(format) : 0;
}

bool FrameFits(const FrameFormat& format, std::size_t size) {
    if (!FrameFormatKnown(format)) {
        return false;
    }
    // The top row is stored last; its last pixel ends the bytes the frame needs. In 4:1:1 a
    // width that is not a multiple of 8 can reach past width x 12 / 8.
    const std::int64_t row = FrameRowBytes(format);
    const int lastX = format.Width - 1;
    std::int64_t lastRowNeed = PixelOffsetInRow(lastX, format) + 1;
    if (format.BitCount != 16 || format.SubformatMarker != kSubformatPacked411) {
        lastRowNeed = row;
    }
    const auto available = static_cast<std::uint64_t>(size);
    if (available < static_cast<std::uint64_t>(lastRowNeed) || row <= 0) {
        return false;
    }
    const std::uint64_t rowsBefore = static_cast<std::uint64_t>(format.Height) - 1;
    return rowsBefore <=
           (available - static_cast<std::uint64_t>(lastRowNeed)) / static_cast<std::uint64_t>(row);
}

int FramePixelLuma(int x, int y, const FrameFormat& format, const std::uint8_t* pixels) {
    if (!FrameFormatKnown(format)) {
        return 0;
    }
    const std::uint8_t* p = pixels + RowOffset(y, format) + PixelOffsetInRow(x, format);
    switch (format.BitCount) {
    case 8:
        return p[0];
    case 16:
        if (format.SubformatMarker == kSubformatRgb555) {
            const unsigned v = p[0] | (static_cast<unsigned>(p[1]) << 8);
            const unsigned r5 = (v >> 10) & 31u;
            const unsigned g5 = (v >> 5) & 31u;
            const unsigned b5 = v & 31u;
            return static_cast<int>(((r5 << 3) + (g5 << 3) + (b5 << 3)) / 3);
        }
        return p[0]; // YUY2 and 4:1:1: the Y byte
    default:
        return (p[0] + p[1] + p[2]) / 3;
    }
}

void DrawFramePoint(int x, int y, const FrameFormat& format, std::span<std::uint8_t> pixels) {
    if (x < 0 || x >= 1000 || y < 0 || y >= 1000 || !FrameFits(format, pixels.size())) {
        return;
    }
    const int px = PerMilleToPixel(format.Width, x);
    const int py = PerMilleToPixel(format.Height, y);
    std::uint8_t* p = pixels.data() + RowOffset(py, format) + PixelOffsetInRow(px, format);
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
