// Per-pixel access to a captured frame in every capture format.
// Frames are stored bottom-up with rows following one another without padding; the helpers
// take y counted from the top. Row sizes: width x 1, 2, 3 or 4 bytes, or width x 12 / 8 for
// the packed 4:1:1 format (12 bytes per group of 8 pixels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace station {

// What a 16-bit capture format holds (the header's biXPelsPerMeter).
enum : std::int32_t {
    kSubformatRgb555 = 0,
    kSubformatYuy2 = 1,
    kSubformatPacked411 = 2,
};

// The geometry of a frame as its capture format header gives it.
struct FrameFormat {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t BitCount = 0;        // 8, 16, 24 or 32
    std::int32_t SubformatMarker = 0; // 16 bits only
};

// True for a positive size in 8, 16 (markers 0 to 2), 24 or 32 bits.
inline bool FrameFormatKnown(const FrameFormat& format) {
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

// Bytes per stored row; 0 for a format that is not known.
std::int64_t FrameRowBytes(const FrameFormat& format);

// True when the format is known and `size` bytes hold every pixel of the frame.
bool FrameFits(const FrameFormat& format, std::size_t size);

namespace frame_pixels_detail {

// Bytes per stored row of a known format.
inline std::int64_t RowBytesOfKnown(const FrameFormat& format) {
    if (format.BitCount == 16 && format.SubformatMarker == kSubformatPacked411) {
        return static_cast<std::int64_t>(format.Width) * 12 / 8;
    }
    return static_cast<std::int64_t>(format.Width) * (format.BitCount / 8);
}

// Offset of pixel (x, y), y from the top, in a known format: its first byte, or for 4:1:1 its
// Y byte (byte 1, 3, 5, 7, 8, 9, 10, 11 of its 12-byte group of 8 pixels).
inline std::int64_t PixelOffset(int x, int y, const FrameFormat& format) {
    std::int64_t inRow;
    switch (format.BitCount) {
    case 8:
        inRow = x;
        break;
    case 16:
        if (format.SubformatMarker == kSubformatPacked411) {
            constexpr std::uint8_t kYByte[8] = {1, 3, 5, 7, 8, 9, 10, 11};
            inRow = static_cast<std::int64_t>(x / 8) * 12 + kYByte[x % 8];
        } else {
            inRow = static_cast<std::int64_t>(x) * 2;
        }
        break;
    case 24:
        inRow = static_cast<std::int64_t>(x) * 3;
        break;
    default:
        inRow = static_cast<std::int64_t>(x) * 4;
        break;
    }
    return static_cast<std::int64_t>(format.Height - 1 - y) * RowBytesOfKnown(format) + inRow;
}

} // namespace frame_pixels_detail

// Luminance 0..255 of pixel (x, y), y from the top: 8 bits the byte; RGB 5:5:5 the mean of the
// three components widened to 8 bits; YUY2 and 4:1:1 the Y byte; 24 and 32 bits (b + g + r) / 3.
// The caller guarantees 0 <= x < Width, 0 <= y < Height and FrameFits; unknown formats give 0.
// Inline: the detector reads up to three pixels for each of 10000 points per frame.
inline int FramePixelLuma(int x, int y, const FrameFormat& format, const std::uint8_t* pixels) {
    if (!FrameFormatKnown(format)) {
        return 0;
    }
    const std::uint8_t* p = pixels + frame_pixels_detail::PixelOffset(x, y, format);
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

// Marks the pixel at per-mille position (x, y), y from the top: 8 bits 255; RGB 5:5:5 the
// bytes 3, 255; YUY2 and 4:1:1 its Y byte 255; 24 bits 0, 255, 255; 32 bits 0, 0, 255, 255.
// Positions outside 0..999 and frames that do not fit `pixels` are left alone.
void DrawFramePoint(int x, int y, const FrameFormat& format, std::span<std::uint8_t> pixels);

// Pixel of a per-mille coordinate 0..999 on an axis of `extent` pixels, truncated.
inline int PerMilleToPixel(std::int32_t extent, std::int32_t perMille) {
    return static_cast<int>(static_cast<std::int64_t>(extent) * perMille / 1000);
}

} // namespace station
