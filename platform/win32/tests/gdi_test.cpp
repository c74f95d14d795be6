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
