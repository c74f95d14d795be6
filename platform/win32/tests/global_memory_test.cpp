#include "windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

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

void no_op() {}

// The region VirtualQuery reports for `p`, checked to hold it.
MEMORY_BASIC_INFORMATION query(const void* p) {
    MEMORY_BASIC_INFORMATION info{};
    EXPECT_EQ(VirtualQuery(p, &info, sizeof info), sizeof info);
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    const auto base = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
    EXPECT_LE(base, at);
    EXPECT_GT(base + info.RegionSize, at);
    EXPECT_EQ(base % static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE)), 0u);
    return info;
}

TEST(VirtualMemory, ReportsStateProtectionAndTypeOfTheRegion) {
    const auto block = std::make_unique<int[]>(64);
    const MEMORY_BASIC_INFORMATION heap = query(block.get());
    EXPECT_EQ(heap.State, DWORD(MEM_COMMIT));
    EXPECT_EQ(heap.Protect, DWORD(PAGE_READWRITE));
    EXPECT_EQ(heap.Type, DWORD(MEM_PRIVATE));
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(heap.BaseAddress) + heap.RegionSize,
              reinterpret_cast<std::uintptr_t>(block.get() + 64))
        << "the block lies in one region";

    const MEMORY_BASIC_INFORMATION code = query(reinterpret_cast<const void*>(&no_op));
    EXPECT_EQ(code.State, DWORD(MEM_COMMIT));
    EXPECT_EQ(code.Protect, DWORD(PAGE_EXECUTE_READ));
    EXPECT_EQ(code.Type, DWORD(MEM_IMAGE));

    const long page = sysconf(_SC_PAGESIZE);
    void* pages = mmap(nullptr, std::size_t(page) * 3, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    auto* bytes = static_cast<char*>(pages);
    ASSERT_EQ(mprotect(bytes + page, std::size_t(page), PROT_READ), 0);
    ASSERT_EQ(munmap(bytes + 2 * page, std::size_t(page)), 0);
    const MEMORY_BASIC_INFORMATION readOnly = query(bytes + page + 8);
    EXPECT_EQ(readOnly.BaseAddress, bytes + page);
    EXPECT_EQ(readOnly.Protect, DWORD(PAGE_READONLY));
    EXPECT_EQ(readOnly.RegionSize, SIZE_T(page)) << "the region ends where the mapping does";
    const MEMORY_BASIC_INFORMATION freed = query(bytes + 2 * page);
    EXPECT_EQ(freed.State, DWORD(MEM_FREE));
    EXPECT_EQ(freed.Protect, DWORD(PAGE_NOACCESS));
    ASSERT_EQ(munmap(pages, std::size_t(page) * 2), 0);

    MEMORY_BASIC_INFORMATION info{};
    SetLastError(0);
    EXPECT_EQ(VirtualQuery(block.get(), &info, sizeof info - 1), SIZE_T(0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_LENGTH));
}

} // namespace
