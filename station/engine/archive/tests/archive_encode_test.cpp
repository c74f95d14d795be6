// EncodeFrame on every frame format: which encoder, which bitmap depth, and an upright picture.
#include "archive/archive_encode.h"
#include "archive/archive_io.h"
#include "archive/jpeg_picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace archive {
namespace {

struct Case {
    const char* name;
    int bpp, marker;
    bool jpeg;
    std::vector<std::uint8_t> bright, dark; // one pixel group of the format
    int group_pixels;                       // pixels the group covers
    std::uint8_t want_bright[3];            // blue, green, red
    int want_bmp_bits;                      // 0: a JPEG stream
};

const std::vector<std::uint8_t> kY411Bright = {128, 235, 128, 235, 128, 235,
                                               128, 235, 235, 235, 235, 235};
const std::vector<std::uint8_t> kY411Dark = {128, 16, 128, 16, 128, 16, 128, 16, 16, 16, 16, 16};
// 5:5:5 with 28 in each field, and 2.
const std::vector<std::uint8_t> k555Bright = {0x9C, 0x73};
const std::vector<std::uint8_t> k555Dark = {0x42, 0x08};

const Case kCases[] = {
    {"grey_bmp", 8, 0, false, {230}, {20}, 1, {230, 230, 230}, 8},
    {"grey_jpeg", 8, 0, true, {230}, {20}, 1, {230, 230, 230}, 0},
    {"rgb555_bmp", 16, 0, false, k555Bright, k555Dark, 1, {231, 231, 231}, 16},
    {"rgb555_jpeg", 16, 0, true, k555Bright, k555Dark, 1, {231, 231, 231}, 0},
    {"yuy2_bmp", 16, 1, false, {235, 128, 235, 128}, {16, 128, 16, 128}, 2, {255, 255, 255}, 24},
    // The encoder takes the YUV samples as they are: studio-range white stays 235 in the JPEG.
    {"yuy2_jpeg", 16, 1, true, {235, 128, 235, 128}, {16, 128, 16, 128}, 2, {235, 235, 235}, 0},
    {"yuv411_bmp", 16, 2, false, kY411Bright, kY411Dark, 8, {255, 255, 255}, 24},
    {"yuv411_jpeg", 16, 2, true, kY411Bright, kY411Dark, 8, {235, 235, 235}, 0},
    {"bgr_bmp", 24, 0, false, {40, 120, 220}, {0, 0, 0}, 1, {40, 120, 220}, 24},
    {"bgr_jpeg", 24, 0, true, {40, 120, 220}, {0, 0, 0}, 1, {40, 120, 220}, 0},
    {"bgrx_bmp", 32, 0, false, {40, 120, 220, 0}, {0, 0, 0, 0}, 1, {40, 120, 220}, 32},
    {"bgrx_jpeg", 32, 0, true, {40, 120, 220, 0}, {0, 0, 0, 0}, 1, {40, 120, 220}, 0},
};

class EncodeFormats : public ::testing::TestWithParam<Case> {};

TEST_P(EncodeFormats, StoresAnUprightPictureOfTheFrame) {
    const Case& c = GetParam();
    const int w = 32, h = 16;
    // Rows bottom-up: the lower half (first in memory) dark, the upper half bright.
    std::vector<std::uint8_t> px;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; x += c.group_pixels) {
            const auto& g = y < h / 2 ? c.dark : c.bright;
            px.insert(px.end(), g.begin(), g.end());
        }
    }
    ASSERT_EQ(px.size(), frame_bytes(w, h, c.bpp, c.marker));
    ArchiveState state;
    std::vector<std::uint8_t> stream;
    EncodeFrame(state, stream, px, w, 90, c.jpeg, c.marker, c.bpp, h);
    ASSERT_GT(stream.size(), 54u);
    if (c.want_bmp_bits == 0) {
        EXPECT_EQ(stream[0], 0xFF);
        EXPECT_EQ(stream[1], 0xD8);
    } else {
        EXPECT_EQ(stream[0], 'B');
        EXPECT_EQ(stream[28], c.want_bmp_bits);
    }
    const auto pic = decode_stored_frame(stream, c.jpeg);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->width, w);
    EXPECT_EQ(pic->height, h);
    const int tolerance = c.jpeg ? 10 : 1;
    const std::uint8_t* top = &pic->bgr[(std::size_t(2) * w + 9) * 3];
    const std::uint8_t* bottom = &pic->bgr[(std::size_t(h - 3) * w + 9) * 3];
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(top[i], c.want_bright[i], tolerance) << "channel " << i;
        EXPECT_LE(bottom[i], 20 + tolerance) << "channel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, EncodeFormats, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Encode, FrameBytesOfEachFormat) {
    EXPECT_EQ(frame_bytes(768, 576, 16, 2), 768u * 576 * 3 / 2);
    EXPECT_EQ(frame_bytes(768, 576, 16, 1), 768u * 576 * 2);
    EXPECT_EQ(frame_bytes(768, 576, 32, 0), 768u * 576 * 4);
    EXPECT_EQ(frame_bytes(7, 2, 16, 1), 0u);  // YUY2 pairs
    EXPECT_EQ(frame_bytes(20, 2, 16, 2), 0u); // 4:1:1 groups of 8
    EXPECT_EQ(frame_bytes(16, 2, 16, 3), 0u);
    EXPECT_EQ(frame_bytes(-1, 2, 8, 0), 0u);
    EXPECT_EQ(frame_bytes(20000, 2, 8, 0), 0u);
}

TEST(Encode, FailureLeavesTheStreamEmpty) {
    std::vector<std::uint8_t> stream = {1, 2, 3};
    const std::vector<std::uint8_t> px(10);
    ArchiveState state;
    EXPECT_THROW(EncodeFrame(state, stream, px, 16, 80, true, 0, 24, 16), ArchiveError);
    EXPECT_TRUE(stream.empty());
}

} // namespace
} // namespace archive
