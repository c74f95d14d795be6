#include "ijl/ijl.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<unsigned char> rgb; // top row first, 3 bytes a pixel (grey repeated)
};

struct Jump {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jump_out(j_common_ptr c) {
    std::longjmp(reinterpret_cast<Jump*>(c->err)->jump, 1);
}

bool decode(const std::vector<unsigned char>& jpg, Decoded* out) {
    jpeg_decompress_struct cinfo;
    Jump err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jump_out;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpg.data(), jpg.size());
    jpeg_read_header(&cinfo, TRUE);
    out->components = cinfo.num_components;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out->width = int(cinfo.output_width);
    out->height = int(cinfo.output_height);
    out->rgb.resize(std::size_t(out->width) * out->height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->rgb.data() + std::size_t(cinfo.output_scanline) * out->width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// A source picture whose top half is bright and bottom half dark, stored bottom-up.
struct Case {
    const char* name;
    int bytes_per_pixel;
    DWORD channels;
    int color;
    int dib_sub;
    const unsigned char bright[4];
    const unsigned char dark[4];
    unsigned char want_bright[3]; // RGB expected in the top half
};

const Case kCases[] = {
    {"grey", 1, 1, IJL_G, IJL_NONE, {230}, {20}, {230, 230, 230}},
    {"bgr", 3, 3, IJL_BGR, IJL_NONE, {30, 60, 220}, {0, 0, 0}, {220, 60, 30}},
    {"bgrx", 4, 4, IJL_BGR, IJL_NONE, {30, 60, 220, 0}, {0, 0, 0, 0}, {220, 60, 30}},
    // Y0 U Y1 V: neutral chroma.
    {"yuy2", 2, 3, IJL_YCBCR, IJL_422, {200, 128, 200, 128}, {16, 128, 16, 128}, {200, 200, 200}},
};

class IjlFormats : public ::testing::TestWithParam<Case> {};

TEST_P(IjlFormats, BottomUpBufferGivesUprightPicture) {
    const Case& c = GetParam();
    const int w = 32, h = 16;
    std::vector<unsigned char> pixels(std::size_t(w) * h * c.bytes_per_pixel);
    for (int row = 0; row < h; ++row) { // row 0 of memory is the bottom row
        const unsigned char* v = row < h / 2 ? c.dark : c.bright;
        for (int x = 0; x < w; ++x) {
            const int px = c.bytes_per_pixel == 2 ? 2 : c.bytes_per_pixel;
            for (int b = 0; b < px; ++b) {
                const int src = c.bytes_per_pixel == 2 ? (x % 2) * 2 + b : b;
                pixels[(std::size_t(row) * w + x) * px + b] = v[src];
            }
        }
    }
    IJL_CORE_PROPERTIES p;
    ASSERT_EQ(ijlInit(&p), IJL_OK);
    std::vector<unsigned char> out(std::size_t(w) * h * 3 + 4096);
    p.DIBWidth = w;
    p.DIBHeight = -h;
    p.DIBPadBytes = 0;
    p.DIBBytes = pixels.data();
    p.DIBChannels = c.channels;
    p.DIBColor = c.color;
    p.DIBSubsampling = c.dib_sub;
    p.JPGFile = nullptr;
    p.JPGBytes = out.data();
    p.JPGSizeBytes = DWORD(out.size());
    p.JPGWidth = w;
    p.JPGHeight = h;
    p.JPGChannels = 3;
    p.JPGColor = IJL_YCBCR;
    p.JPGSubsampling = c.dib_sub == IJL_422 ? IJL_422 : IJL_411;
    p.jquality = 90;
    ASSERT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_OK);
    ASSERT_GT(p.JPGSizeBytes, 100u);
    ASSERT_LT(p.JPGSizeBytes, out.size());
    out.resize(p.JPGSizeBytes);
    EXPECT_EQ(ijlFree(&p), IJL_OK);

    Decoded d;
    ASSERT_TRUE(decode(out, &d));
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    EXPECT_EQ(d.components, 3);
    const unsigned char* top = &d.rgb[(std::size_t(2) * w + 5) * 3];
    const unsigned char* bottom = &d.rgb[(std::size_t(h - 3) * w + 5) * 3];
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(top[i], c.want_bright[i], 12) << c.name << " channel " << i;
        EXPECT_LT(bottom[i], 40) << c.name << " channel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, IjlFormats, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Ijl, OutputNeverPassesItsRoom) {
    const int w = 64, h = 64;
    std::vector<unsigned char> pixels(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>((i * 2654435761u) >> 13); // noise
    }
    std::vector<unsigned char> out(8192, 0xEE);
    IJL_CORE_PROPERTIES p;
    ASSERT_EQ(ijlInit(&p), IJL_OK);
    p.DIBWidth = w;
    p.DIBHeight = h;
    p.DIBBytes = pixels.data();
    p.JPGBytes = out.data();
    p.JPGSizeBytes = 1000; // far too small for noise at quality 100
    p.JPGWidth = w;
    p.JPGHeight = h;
    p.jquality = 100;
    EXPECT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_BUFFER_TOO_SMALL);
    for (std::size_t i = 1000; i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0xEE) << "byte " << i << " written past the room";
    }
    EXPECT_EQ(ijlFree(&p), IJL_OK);
}

TEST(Ijl, RefusesBadCalls) {
    IJL_CORE_PROPERTIES p;
    std::memset(&p, 0, sizeof p);
    EXPECT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_NOT_INITIALISED);
    EXPECT_EQ(ijlFree(&p), IJL_NOT_INITIALISED);
    ASSERT_EQ(ijlInit(&p), IJL_OK);
    unsigned char px[12] = {}, out[4096];
    p.DIBWidth = 2;
    p.DIBHeight = 2;
    p.DIBBytes = px;
    p.JPGBytes = out;
    p.JPGSizeBytes = sizeof out;
    p.JPGWidth = 2;
    p.JPGHeight = 2;
    EXPECT_EQ(ijlWrite(&p, 1), IJL_UNSUPPORTED_IOTYPE);
    p.JPGHeight = 3; // size mismatch between the two sides
    EXPECT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_INVALID_ARGUMENT);
    p.JPGHeight = 2;
    p.DIBChannels = 2;
    EXPECT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_UNSUPPORTED_FORMAT);
    p.DIBChannels = 3;
    EXPECT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_OK);
    EXPECT_EQ(ijlFree(&p), IJL_OK);
}

} // namespace

namespace {

// libjpeg fed directly with rows built pixel by pixel from a bottom-up YUY2 picture (each pixel
// its own Y and its pair's U and V, V 128 for a last odd pixel): the reference for the encoder.
std::vector<unsigned char> reference_yuy2_jpeg(const std::vector<unsigned char>& yuy2, int w, int h,
                                               int quality) {
    jpeg_compress_struct c;
    Jump err;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jump_out;
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        std::free(mem);
        return {};
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_YCbCr);
    jpeg_set_quality(&c, quality, TRUE);
    c.comp_info[0].h_samp_factor = 2;
    c.comp_info[0].v_samp_factor = 1;
    for (int k = 1; k < 3; ++k) {
        c.comp_info[k].h_samp_factor = 1;
        c.comp_info[k].v_samp_factor = 1;
    }
    jpeg_start_compress(&c, TRUE);
    const std::size_t stride = std::size_t(w) * 2;
    std::vector<unsigned char> row(std::size_t(w) * 3);
    while (c.next_scanline < c.image_height) {
        const unsigned char* src = yuy2.data() + stride * (std::size_t(h) - 1 - c.next_scanline);
        for (int x = 0; x < w; ++x) {
            const unsigned char* pair = src + (x & ~1) * 2;
            row[3 * x] = src[2 * x];
            row[3 * x + 1] = pair[1];
            row[3 * x + 2] = (x | 1) < w ? pair[3] : 128;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> out(mem, mem + size);
    std::free(mem);
    return out;
}

TEST(Ijl, Yuy2JpegEqualsLibjpegFedPixelByPixel) {
    for (const int w : {48, 37, 1}) {
        const int h = 11;
        // An odd width ends on a half pair: its bytes past the last Y and U are not read as V.
        std::vector<unsigned char> pixels(std::size_t(w + 1) * h * 2);
        std::uint32_t seed = 12345;
        for (auto& b : pixels) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<unsigned char>(seed >> 24);
        }
        IJL_CORE_PROPERTIES p;
        ASSERT_EQ(ijlInit(&p), IJL_OK);
        std::vector<unsigned char> out(std::size_t(w) * h * 3 + 4096);
        p.DIBWidth = DWORD(w);
        p.DIBHeight = -h;
        p.DIBPadBytes = 0;
        p.DIBBytes = pixels.data();
        p.DIBChannels = 3;
        p.DIBColor = IJL_YCBCR;
        p.DIBSubsampling = IJL_422;
        p.JPGBytes = out.data();
        p.JPGSizeBytes = DWORD(out.size());
        p.JPGWidth = DWORD(w);
        p.JPGHeight = DWORD(h);
        p.JPGChannels = 3;
        p.JPGColor = IJL_YCBCR;
        p.JPGSubsampling = IJL_422;
        p.jquality = 50;
        ASSERT_EQ(ijlWrite(&p, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_OK) << w;
        out.resize(p.JPGSizeBytes);
        EXPECT_EQ(ijlFree(&p), IJL_OK);
        EXPECT_EQ(out, reference_yuy2_jpeg(pixels, w, h, 50)) << "width " << w;
    }
}

} // namespace
