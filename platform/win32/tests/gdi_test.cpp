#include "platform/gdi_recorder.h"
#include "platform/window_table.h"
#include "windows.h"

#include <gtest/gtest.h>

namespace {

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A recording context: fills keep the colour of the brush they used, selections hand back the
// brush before, and deleted brushes are gone.
TEST(Gdi, BrushFillsAreRecordedPerContext) {
    const std::size_t before = platform::gdi::live_objects();
    const HDC dc = platform::gdi::create_dc();
    const HDC other = platform::gdi::create_dc();
    const HBRUSH key = CreateSolidBrush(RGB(127, 0, 127));
    const HBRUSH index = CreateSolidBrush(PALETTEINDEX(5));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(platform::gdi::live_objects(), before + 2);

    const HGDIOBJ stock = SelectObject(dc, key);
    ASSERT_NE(stock, nullptr) << "a context starts with a stock brush";
    ASSERT_TRUE(PatBlt(dc, 10, 20, 30, 40, PATCOPY));
    ASSERT_TRUE(PatBlt(dc, 50, 50, -10, -5, PATCOPY)) << "negative extents";
    EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, 0x00CC0020u)); // a copy from a source
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    const RECT r{1, 2, 3, 4};
    EXPECT_EQ(FillRect(other, &r, index), 1);
    EXPECT_EQ(SelectObject(dc, stock), static_cast<HGDIOBJ>(key));
    EXPECT_EQ(platform::gdi::selected_brush(dc), stock);

    const auto fills = platform::gdi::fills(dc);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_TRUE(same(fills[0].rect, RECT{10, 20, 40, 60}));
    EXPECT_EQ(fills[0].colour, RGB(127, 0, 127));
    EXPECT_EQ(fills[0].colour, 0x007F007Fu);
    EXPECT_TRUE(same(fills[1].rect, RECT{40, 45, 50, 50}));
    const auto other_fills = platform::gdi::fills(other);
    ASSERT_EQ(other_fills.size(), 1u);
    EXPECT_EQ(other_fills[0].colour, 0x01000005u);

    EXPECT_TRUE(DeleteObject(key));
    EXPECT_TRUE(DeleteObject(index));
    EXPECT_FALSE(DeleteObject(key));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SelectObject(dc, key), nullptr);
    EXPECT_EQ(platform::gdi::live_objects(), before);
    platform::gdi::delete_dc(dc);
    platform::gdi::delete_dc(other);
    EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, PATCOPY));
    EXPECT_EQ(FillRect(dc, &r, key), 0);
}

BITMAPINFO dib_info(LONG width, LONG height, WORD bits = 32) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A memory context: a bitmap is selected into one context at a time and deleted only once
// selected out; fills land in its pixels (rows as the header orders them) and are recorded.
TEST(Gdi, MemoryContextsPaintIntoTheirBitmap) {
    const std::size_t before = platform::gdi::live_objects();
    const HDC dc = CreateCompatibleDC(nullptr);
    const HDC other = CreateCompatibleDC(dc);
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(platform::gdi::surface(dc)) << "the stock bitmap has no pixels";

    const BITMAPINFO info = dib_info(4, 3); // bottom-up
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (int i = 0; i < 4 * 3 * 4; ++i) {
        ASSERT_EQ(pixels[i], 0) << i;
    }
    EXPECT_EQ(platform::gdi::live_objects(), before + 1);

    const HGDIOBJ stock = SelectObject(dc, bitmap);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr) << "selected into another context";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    const HDC recording = platform::gdi::create_dc();
    EXPECT_EQ(SelectObject(recording, bitmap), nullptr) << "not a memory context";
    platform::gdi::delete_dc(recording);
    EXPECT_FALSE(DeleteObject(bitmap)) << "still selected";
    const auto surface = platform::gdi::surface(dc);
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface->bits, bits);
    EXPECT_EQ(surface->width, 4);
    EXPECT_EQ(surface->height, 3);
    EXPECT_EQ(surface->stride, 16u);
    EXPECT_FALSE(surface->top_down);

    // Rows 0..1, columns 1..2 in red, cut at the right edge for the second fill.
    const HBRUSH red = CreateSolidBrush(RGB(200, 10, 20));
    const RECT top{1, 0, 3, 2};
    EXPECT_EQ(FillRect(dc, &top, red), 1);
    SelectObject(dc, red);
    EXPECT_TRUE(PatBlt(dc, 3, 2, 5, 5, PATCOPY));
    ASSERT_EQ(platform::gdi::fills(dc).size(), 2u);
    for (int y = 0; y < 3; ++y) {
        const std::uint8_t* row = pixels + std::size_t(2 - y) * 16; // bottom-up
        for (int x = 0; x < 4; ++x) {
            const bool filled = (y < 2 && x >= 1 && x < 3) || (y == 2 && x == 3);
            const std::uint8_t* p = row + x * 4;
            EXPECT_EQ(p[0], filled ? 20 : 0) << x << "," << y;
            EXPECT_EQ(p[1], filled ? 10 : 0) << x << "," << y;
            EXPECT_EQ(p[2], filled ? 200 : 0) << x << "," << y;
            EXPECT_EQ(p[3], 0) << x << "," << y;
        }
    }

    // Selected out, it moves to the other context; freeing a context selects its bitmap out.
    EXPECT_EQ(SelectObject(dc, stock), bitmap);
    EXPECT_EQ(SelectObject(other, bitmap), stock);
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(other));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(platform::gdi::live_objects(), before);

    // Only 32-bit uncompressed bitmaps of a sane size, on a known context.
    struct Case {
        const char* what;
        BITMAPINFO info;
        UINT usage;
    };
    BITMAPINFO rle = dib_info(4, 3);
    rle.bmiHeader.biCompression = BI_RLE8;
    const Case refused[] = {
        {"24 bits", dib_info(4, 3, 24), DIB_RGB_COLORS},
        {"no width", dib_info(0, 3), DIB_RGB_COLORS},
        {"no height", dib_info(4, 0), DIB_RGB_COLORS},
        {"too wide", dib_info(40000, 1), DIB_RGB_COLORS},
        {"compressed", rle, DIB_RGB_COLORS},
        {"palette indexes", dib_info(4, 3), 1u},
    };
    for (const Case& c : refused) {
        void* none = &bits;
        EXPECT_EQ(CreateDIBSection(nullptr, &c.info, c.usage, &none, nullptr, 0), nullptr)
            << c.what;
        EXPECT_EQ(none, nullptr) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    }
    const BITMAPINFO fine = dib_info(4, 3);
    EXPECT_EQ(CreateDIBSection(dc, &fine, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr)
        << "freed context";
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr) << "freed context";
    EXPECT_EQ(platform::gdi::live_objects(), before);
}

TEST(Gdi, ScreenPointsToClientPoints) {
    struct Plain : platform::Window {
        LRESULT send(UINT, WPARAM, LPARAM) override { return 0; }
    };
    const HWND w = platform::register_window(std::make_shared<Plain>(), {true, 100, 50, 320, 240});
    POINT p{110, 45};
    ASSERT_TRUE(ScreenToClient(w, &p));
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, -5);
    ASSERT_TRUE(ClientToScreen(w, &p));
    EXPECT_EQ(p.x, 110);
    EXPECT_EQ(p.y, 45);
    ASSERT_TRUE(DestroyWindow(w));
    EXPECT_FALSE(ScreenToClient(w, &p));
}

} // namespace
