// Synthetic bottom-up test frames, painted by luminance in any capture format.
// Chroma bytes are 128 and the three colour components are equal, so that every painted pixel
// reads back with exactly the luminance painted (RGB 5:5:5 only keeps multiples of 8).
#pragma once

#include "base/frame_pixels.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace station::test {

struct TestFormat {
    const char* name;
    std::int32_t bitCount;
    std::int32_t marker;
};

inline std::string FormatName(const TestFormat& f) {
    return f.name;
}

class LumaFrame {
public:
    LumaFrame(const TestFormat& f, int width, int height)
        : format_{width, height, f.bitCount, f.marker},
          bytes_(static_cast<std::size_t>(RowBytes() * height), 128) {}

    const FrameFormat& Format() const { return format_; }
    std::span<const std::uint8_t> Pixels() const { return bytes_; }

    void Fill(int luma) {
        for (int y = 0; y < format_.Height; ++y) {
            for (int x = 0; x < format_.Width; ++x) {
                Set(x, y, luma);
            }
        }
    }

    // Pixel (x, y), y from the top.
    void Set(int x, int y, int luma) {
        const auto v = static_cast<std::uint8_t>(luma);
        std::uint8_t* row = bytes_.data() + static_cast<std::size_t>(RowBytes()) *
                                                static_cast<std::size_t>(format_.Height - 1 - y);
        switch (format_.BitCount) {
        case 8:
            row[x] = v;
            break;
        case 16:
            if (format_.SubformatMarker == kSubformatRgb555) {
                const unsigned c = static_cast<unsigned>(luma) >> 3;
                const unsigned word = (c << 10) | (c << 5) | c;
                row[2 * x] = static_cast<std::uint8_t>(word & 0xFF);
                row[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
            } else if (format_.SubformatMarker == kSubformatYuy2) {
                row[2 * x] = v;
            } else {
                static constexpr int kY[8] = {1, 3, 5, 7, 8, 9, 10, 11};
                row[(x / 8) * 12 + kY[x % 8]] = v;
            }
            break;
        default: {
            const int size = format_.BitCount / 8;
            row[size * x] = v;
            row[size * x + 1] = v;
            row[size * x + 2] = v;
            break;
        }
        }
    }

private:
    int RowBytes() const {
        if (format_.BitCount == 16 && format_.SubformatMarker == kSubformatPacked411) {
            return format_.Width * 12 / 8;
        }
        return format_.Width * format_.BitCount / 8;
    }

    FrameFormat format_;
    std::vector<std::uint8_t> bytes_;
};

} // namespace station::test
