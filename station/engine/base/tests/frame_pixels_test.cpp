#include "base/frame_pixels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <numeric>
#include <vector>

namespace station {
namespace {

// Frames of two rows whose bytes count up from 0: the stored row 0 is the bottom row (y = 1).
std::vector<std::uint8_t> Ramp(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

struct LumaCase {
    const char* what;
    FrameFormat format;
    int x;
    int y;
    int luma;
};

TEST(FramePixelLuma, ReadsEveryFormatBottomUp) {
    const LumaCase cases[] = {
        // 8 bits, 3 x 2: top row stored at bytes 3..5.
        {"8-bit top", {3, 2, 8, 0}, 2, 0, 5},
        {"8-bit bottom", {3, 2, 8, 0}, 0, 1, 0},
        // YUY2, 4 x 2 (8 bytes a row): the Y byte at 2x.
        {"YUY2 top", {4, 2, 16, kSubformatYuy2}, 3, 0, 8 + 6},
        {"YUY2 bottom", {4, 2, 16, kSubformatYuy2}, 1, 1, 2},
        // 24 bits, 2 x 2 (6 bytes a row): (b + g + r) / 3.
        {"24-bit top", {2, 2, 24, 0}, 1, 0, (9 + 10 + 11) / 3},
        {"24-bit bottom", {2, 2, 24, 0}, 0, 1, (0 + 1 + 2) / 3},
        // 32 bits, 2 x 2 (8 bytes a row): the fourth byte is not part of it.
        {"32-bit top", {2, 2, 32, 0}, 1, 0, (12 + 13 + 14) / 3},
        {"32-bit bottom", {2, 2, 32, 0}, 0, 1, (0 + 1 + 2) / 3},
    };
    for (const LumaCase& c : cases) {
        const auto bytes = Ramp(static_cast<std::size_t>(FrameRowBytes(c.format) * 2));
        EXPECT_EQ(FramePixelLuma(c.x, c.y, c.format, bytes.data()), c.luma) << c.what;
    }
}

TEST(FramePixelLuma, Rgb555AveragesTheWidenedComponents) {
    const FrameFormat format{1, 1, 16, kSubformatRgb555};
    struct {
        std::uint16_t word;
        int luma;
    } cases[] = {
        {0x7FFF, 248},                         // white: 3 x 248 / 3
        {0x0000, 0},                           // black
        {(31u << 10) | 1u, (248 + 0 + 8) / 3}, // red 31, green 0, blue 1
        {(2u << 10) | (5u << 5) | 7u, (16 + 40 + 56) / 3},
        {0x8000 | (1u << 5), 8 / 3}, // the top bit is not part of the colour
    };
    for (const auto& c : cases) {
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(c.word & 0xFF),
                                       static_cast<std::uint8_t>(c.word >> 8)};
        EXPECT_EQ(FramePixelLuma(0, 0, format, bytes), c.luma) << std::hex << c.word;
    }
}

TEST(FramePixelLuma, Packed411TakesTheYByteOfItsGroup) {
    // 16 x 2: 24 bytes a row, two groups of 8 pixels in 12 bytes each.
    const FrameFormat format{16, 2, 16, kSubformatPacked411};
    ASSERT_EQ(FrameRowBytes(format), 24);
    const auto bytes = Ramp(48);
    const int yByte[8] = {1, 3, 5, 7, 8, 9, 10, 11};
    for (int x = 0; x < 16; ++x) {
        const int inRow = (x / 8) * 12 + yByte[x % 8];
        EXPECT_EQ(FramePixelLuma(x, 0, format, bytes.data()), 24 + inRow) << "top x=" << x;
        EXPECT_EQ(FramePixelLuma(x, 1, format, bytes.data()), inRow) << "bottom x=" << x;
    }
}

TEST(FramePixelLuma, UnknownFormatsReadNothing) {
    const std::uint8_t bytes[16] = {200, 200, 200, 200, 200, 200, 200, 200,
                                    200, 200, 200, 200, 200, 200, 200, 200};
    const FrameFormat unknown[] = {{2, 2, 16, 3}, {2, 2, 16, -1}, {2, 2, 12, 0},
                                   {2, 2, 0, 0},  {0, 2, 8, 0},   {2, -2, 8, 0}};
    for (const FrameFormat& f : unknown) {
        EXPECT_EQ(FramePixelLuma(0, 0, f, bytes), 0) << f.BitCount << "/" << f.SubformatMarker;
    }
}

TEST(FrameFits, NeedsEveryPixelOfAKnownFormat) {
    struct {
        const char* what;
        FrameFormat format;
        std::size_t size;
        bool fits;
        std::int64_t rowBytes;
    } cases[] = {
        {"8-bit exact", {10, 4, 8, 0}, 40, true, 10},
        {"8-bit short", {10, 4, 8, 0}, 39, false, 10},
        {"RGB 5:5:5", {10, 4, 16, kSubformatRgb555}, 80, true, 20},
        {"YUY2 short", {10, 4, 16, kSubformatYuy2}, 79, false, 20},
        {"4:1:1 exact", {16, 4, 16, kSubformatPacked411}, 96, true, 24},
        {"4:1:1 short", {16, 4, 16, kSubformatPacked411}, 95, false, 24},
        // Width 9: 13 bytes a row, but pixel 8 of the top row has its Y byte at 12 + 1.
        {"4:1:1 odd width", {9, 2, 16, kSubformatPacked411}, 26, false, 13},
        {"4:1:1 odd width, tail", {9, 2, 16, kSubformatPacked411}, 27, true, 13},
        {"24-bit", {10, 4, 24, 0}, 120, true, 30},
        {"32-bit", {10, 4, 32, 0}, 160, true, 40},
        {"16-bit marker 3", {10, 4, 16, 3}, 1000, false, 0},
        {"12-bit", {10, 4, 12, 0}, 1000, false, 0},
        {"zero width", {0, 4, 8, 0}, 1000, false, 0},
        {"negative height", {10, -4, 8, 0}, 1000, false, 0},
        {"huge", {INT32_MAX, INT32_MAX, 32, 0}, std::size_t{1} << 40, false, 4ll * INT32_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrameFits(c.format, c.size), c.fits) << c.what;
        EXPECT_EQ(FrameRowBytes(c.format), c.rowBytes) << c.what;
    }
}

struct DrawCase {
    const char* what;
    FrameFormat format;
    int x;             // per mille
    int y;             // per mille
    std::size_t index; // first byte changed
    std::vector<std::uint8_t> marked;
};

TEST(DrawFramePoint, MarksThePixelOfAPerMillePosition) {
    // 10 x 4 frames: per mille (500, 250) is pixel (5, 1), stored in row 4 - 1 - 1 = 2.
    const DrawCase cases[] = {
        {"8-bit", {10, 4, 8, 0}, 500, 250, 2 * 10 + 5, {255}},
        {"RGB 5:5:5", {10, 4, 16, kSubformatRgb555}, 500, 250, 2 * 20 + 10, {3, 255}},
        {"YUY2", {10, 4, 16, kSubformatYuy2}, 500, 250, 2 * 20 + 10, {255}},
        {"4:1:1", {16, 4, 16, kSubformatPacked411}, 500, 250, 2 * 24 + 12 + 1, {255}},
        {"24-bit", {10, 4, 24, 0}, 500, 250, 2 * 30 + 15, {0, 255, 255}},
        {"32-bit", {10, 4, 32, 0}, 500, 250, 2 * 40 + 20, {0, 0, 255, 255}},
        // 999 per mille is the last pixel; y 0 the top row, stored last.
        {"8-bit corner", {10, 4, 8, 0}, 999, 0, 3 * 10 + 9, {255}},
        // Truncation: 7 x 333 / 1000 = 2.331 -> 2; 3 x 667 / 1000 = 2.001 -> row 2, stored 0.
        {"8-bit truncates", {7, 3, 8, 0}, 333, 667, 2, {255}},
    };
    for (const DrawCase& c : cases) {
        const std::size_t size = static_cast<std::size_t>(FrameRowBytes(c.format)) *
                                 static_cast<std::size_t>(c.format.Height);
        std::vector<std::uint8_t> bytes(size, 77);
        DrawFramePoint(c.x, c.y, c.format, bytes);
        std::vector<std::uint8_t> expected(size, 77);
        std::copy(c.marked.begin(), c.marked.end(), expected.begin() + c.index);
        EXPECT_EQ(bytes, expected) << c.what;
    }
}

TEST(DrawFramePoint, LeavesBadPositionsAndFramesAlone) {
    const FrameFormat gray{10, 4, 8, 0};
    struct {
        const char* what;
        FrameFormat format;
        int x;
        int y;
        std::size_t size;
    } cases[] = {
        {"x 1000", gray, 1000, 0, 40},   {"y 1000", gray, 0, 1000, 40},
        {"x -1", gray, -1, 0, 40},       {"y -1", gray, 0, -1, 40},
        {"short frame", gray, 0, 0, 39}, {"marker 3", {10, 4, 16, 3}, 0, 0, 80},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes(c.size, 77);
        DrawFramePoint(c.x, c.y, c.format, bytes);
        EXPECT_EQ(bytes, std::vector<std::uint8_t>(c.size, 77)) << c.what;
    }
}

} // namespace
} // namespace station
