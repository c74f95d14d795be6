// DrawDib into a Qt image, pixel by pixel, for every depth the station draws.
#include "platform/paint_dc.h"
#include "vfw/drawdib.h"
#include "win32/gdi.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <array>
#include <cstring>
#include <vector>

namespace {

// A 3 x 2 picture as shown (row 0 on top), one colour per pixel.
const std::array<std::array<QRgb, 3>, 2> kPicture = {{
    {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
    {qRgb(255, 255, 255), qRgb(8, 16, 24), qRgb(128, 64, 32)},
}};

struct Dib {
    std::vector<BYTE> info; // header (+ colour table)
    std::vector<BYTE> bits;
    std::array<std::array<QRgb, 3>, 2> expected;
    const BITMAPINFOHEADER* header() const {
        return reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
    }
};

// The picture stored at `bits` per pixel, rows padded to 4 bytes, bottom-up unless `top_down`.
Dib make_dib(WORD bits, bool top_down) {
    Dib d;
    BITMAPINFOHEADER h{sizeof(h), 3, top_down ? -2 : 2, 1, bits, BI_RGB, 0, 0, 0, 0, 0};
    d.info.resize(sizeof(h));
    const std::size_t stride = (3 * bits + 31) / 32 * 4;
    d.bits.assign(stride * 2, 0xEE);
    std::vector<RGBQUAD> table;
    for (int y = 0; y < 2; ++y) {
        BYTE* row = d.bits.data() + stride * (top_down ? y : 1 - y);
        for (int x = 0; x < 3; ++x) {
            const QRgb c = kPicture[y][x];
            const int r = qRed(c), g = qGreen(c), b = qBlue(c);
            switch (bits) {
            case 8:
                // A table in reverse order, so a drawing that ignores it shows.
                table.insert(table.begin(), RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g),
                                                    static_cast<BYTE>(r), 0});
                row[x] = 0; // fixed below
                d.expected[y][x] = c;
                break;
            case 16: {
                const unsigned w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
                row[2 * x] = static_cast<BYTE>(w);
                row[2 * x + 1] = static_cast<BYTE>(w >> 8);
                const auto e = [](int v) { return ((v >> 3) << 3) | ((v >> 3) >> 2); };
                d.expected[y][x] = qRgb(e(r), e(g), e(b));
                break;
            }
            default:
                row[x * bits / 8] = static_cast<BYTE>(b);
                row[x * bits / 8 + 1] = static_cast<BYTE>(g);
                row[x * bits / 8 + 2] = static_cast<BYTE>(r);
                d.expected[y][x] = c;
            }
        }
    }
    if (bits == 8) {
        // Six entries, pixel (x, y) uses entry 5 - (y * 3 + x).
        for (int y = 0; y < 2; ++y) {
            BYTE* row = d.bits.data() + stride * (top_down ? y : 1 - y);
            for (int x = 0; x < 3; ++x) {
                row[x] = static_cast<BYTE>(5 - (y * 3 + x));
            }
        }
        h.biClrUsed = 6;
        d.info.resize(sizeof(h) + table.size() * sizeof(RGBQUAD));
        std::memcpy(d.info.data() + sizeof(h), table.data(), table.size() * sizeof(RGBQUAD));
    }
    std::memcpy(d.info.data(), &h, sizeof(h));
    return d;
}

QImage canvas(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    return image;
}

BOOL draw(QImage& image, const Dib& d, int xd, int yd, int wd, int hd, int xs = 0, int ys = 0,
          int ws = 3, int hs = 2) {
    HDRAWDIB hdd = DrawDibOpen();
    BOOL ok;
    {
        platform::PaintDC dc(image);
        ok = DrawDibDraw(hdd, dc.hdc(), xd, yd, wd, hd, const_cast<BITMAPINFOHEADER*>(d.header()),
                         const_cast<BYTE*>(d.bits.data()), xs, ys, ws, hs, 0);
    }
    EXPECT_TRUE(DrawDibClose(hdd));
    return ok;
}

class DrawDibDepth : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(DrawDibDepth, DrawsEveryPixelScaled) {
    const auto [bits, top_down] = GetParam();
    const Dib d = make_dib(static_cast<WORD>(bits), top_down);

    QImage same = canvas(3, 2);
    ASSERT_TRUE(draw(same, d, 0, 0, 3, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(same.pixel(x, y), d.expected[y][x]) << x << "," << y;
        }
    }

    // Twice the size, at an offset: every source pixel becomes a 2 x 2 block; the rest of the
    // canvas is untouched.
    QImage big = canvas(8, 6);
    ASSERT_TRUE(draw(big, d, 1, 1, 6, 4));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
            const QRgb want = inside ? d.expected[(y - 1) / 2][(x - 1) / 2] : qRgb(1, 2, 3);
            EXPECT_EQ(big.pixel(x, y), want) << x << "," << y;
        }
    }

    // Part of the picture (its right column, bottom row), down to one pixel.
    QImage one = canvas(1, 1);
    ASSERT_TRUE(draw(one, d, 0, 0, -1, -1, 2, 1, 1, 1));
    EXPECT_EQ(one.pixel(0, 0), d.expected[1][2]);
}

// Into the 32-bit bitmap of a GDI memory context, top-down or bottom-up: the same pixels, as GDI
// stores them, cut at the bitmap's edge; the context's fill shows around them.
TEST_P(DrawDibDepth, DrawsIntoTheBitmapOfAMemoryContext) {
    const auto [bits, top_down] = GetParam();
    const Dib d = make_dib(static_cast<WORD>(bits), top_down);
    for (const bool target_top_down : {true, false}) {
        constexpr int kW = 7;
        constexpr int kH = 5;
        const HDC dc = CreateCompatibleDC(nullptr);
        ASSERT_NE(dc, nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kW;
        info.bmiHeader.biHeight = target_top_down ? -kH : kH;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* pixels = nullptr;
        const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        const HGDIOBJ stock = SelectObject(dc, bitmap);
        const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        RECT all{0, 0, kW, kH};
        ASSERT_TRUE(FillRect(dc, &all, brush));

        // Twice the size from (2, 2): the last column and row fall outside the bitmap.
        HDRAWDIB hdd = DrawDibOpen();
        EXPECT_TRUE(DrawDibDraw(hdd, dc, 2, 2, 6, 4, const_cast<BITMAPINFOHEADER*>(d.header()),
                                const_cast<BYTE*>(d.bits.data()), 0, 0, 3, 2, 0));
        EXPECT_TRUE(DrawDibClose(hdd));
        const auto* stored = static_cast<const BYTE*>(pixels);
        for (int y = 0; y < kH; ++y) {
            const BYTE* row = stored + std::size_t(target_top_down ? y : kH - 1 - y) * kW * 4;
            for (int x = 0; x < kW; ++x) {
                const bool inside = x >= 2 && y >= 2;
                const QRgb want = inside ? d.expected[(y - 2) / 2][(x - 2) / 2] : qRgb(1, 2, 3);
                const BYTE* p = row + std::size_t(x) * 4;
                EXPECT_EQ(qRgb(p[2], p[1], p[0]), want) << x << "," << y;
                EXPECT_EQ(p[3], 0) << x << "," << y;
            }
        }
        EXPECT_EQ(SelectObject(dc, stock), bitmap);
        EXPECT_TRUE(DeleteObject(bitmap));
        EXPECT_TRUE(DeleteObject(brush));
        EXPECT_TRUE(DeleteDC(dc));
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawDibDepth,
                         ::testing::Combine(::testing::Values(8, 16, 24, 32), ::testing::Bool()),
                         [](const auto& info) {
                             return std::to_string(std::get<0>(info.param)) + "bit" +
                                    (std::get<1>(info.param) ? "TopDown" : "BottomUp");
                         });

TEST(DrawDib, RefusesWhatItCannotDraw) {
    Dib d = make_dib(24, false);
    QImage image = canvas(3, 2);
    platform::PaintDC dc(image);
    HDRAWDIB hdd = DrawDibOpen();
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(d.info.data());
    auto try_draw = [&](HDRAWDIB h, HDC c, int xs = 0, int ys = 0) {
        return DrawDibDraw(h, c, 0, 0, 3, 2, header, d.bits.data(), xs, ys, 3, 2, 0);
    };
    EXPECT_FALSE(try_draw(nullptr, dc.hdc())) << "no DrawDib handle";
    EXPECT_FALSE(try_draw(hdd, nullptr)) << "no device context";
    EXPECT_FALSE(try_draw(hdd, dc.hdc(), 3, 0)) << "source rectangle outside the picture";
    header->biCompression = 0x32595559u;
    EXPECT_FALSE(try_draw(hdd, dc.hdc())) << "compressed";
    header->biCompression = BI_RGB;
    header->biBitCount = 4;
    EXPECT_FALSE(try_draw(hdd, dc.hdc())) << "4 bits";
    header->biBitCount = 24;
    header->biWidth = 0;
    EXPECT_FALSE(try_draw(hdd, dc.hdc())) << "no width";
    EXPECT_TRUE(DrawDibClose(hdd));
    EXPECT_FALSE(DrawDibClose(hdd));
    EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
}

} // namespace
