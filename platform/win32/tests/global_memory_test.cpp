#include "windows.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(GlobalMemory, MoveableBlocksCountLocksAndZeroFill) {
    const HGLOBAL h = GlobalAlloc(GHND, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), SIZE_T(100));
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), static_cast<void*>(h)) << "a moveable handle is no address";
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(p[i], 0) << i;
    }
    std::memset(p, 0xAB, 100);
    EXPECT_EQ(GlobalLock(h), p) << "the block stays where it is";
    EXPECT_TRUE(GlobalUnlock(h)) << "one lock left";
    SetLastError(1234);
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS)) << "unlocked, no error";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(h), nullptr);
    // A freed handle is unknown.
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalFree(h), h);
    EXPECT_EQ(GlobalSize(h), SIZE_T(0));
}

TEST(GlobalMemory, FixedBlocksAreTheirAddress) {
    const HGLOBAL h = GlobalAlloc(GPTR, 16);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), h);
    EXPECT_EQ(static_cast<unsigned char*>(h)[15], 0);
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(GlobalSize(h), SIZE_T(16));
    EXPECT_EQ(GlobalFree(h), nullptr);

    const HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalSize(empty), SIZE_T(0));
    EXPECT_NE(GlobalLock(empty), nullptr);
    EXPECT_EQ(GlobalFree(empty), nullptr);
}

} // namespace
