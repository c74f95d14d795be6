// The capture windows' check of a table address: only writable memory holding a descriptor
// table that lists the buffer whose header carried the address is taken as the chip's table.
#include "live/capture_windows.h"

#include "live_fakes.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace live_test {
namespace {

// Pages of the test's own, with a copy of a descriptor table placed `offset` bytes into them.
class Pages {
public:
    explicit Pages(std::size_t count)
        : page_(std::size_t(sysconf(_SC_PAGESIZE))), bytes_(count * page_),
          base_(static_cast<char*>(
              mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))) {}
    ~Pages() {
        if (base_ != MAP_FAILED) {
            munmap(base_, bytes_);
        }
    }
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    std::uintptr_t Place(const MemoryChip& chip, std::size_t offset) {
        std::memcpy(base_ + offset, chip.table.data(), sizeof chip.table);
        return reinterpret_cast<std::uintptr_t>(base_ + offset);
    }
    void Protect(std::size_t page, int protection) {
        ASSERT_EQ(mprotect(base_ + page * page_, page_, protection), 0);
    }
    std::size_t PageSize() const { return page_; }

private:
    std::size_t page_;
    std::size_t bytes_;
    char* base_;
};

TEST(CaptureWindowsTable, OnlyTheTableListingTheStreamsBufferIsTaken) {
    CaptureWindows windows;
    MemoryChip chip;
    MemoryChip other;
    const std::uintptr_t buffer = chip.table[7].BufferAddress;
    const std::uintptr_t table = chip.address();

    EXPECT_TRUE(windows.IsMappedFrameTable(1, table, buffer));
    EXPECT_TRUE(windows.IsMappedFrameTable(4, table, chip.table[0].BufferAddress));

    struct Case {
        const char* what;
        int chip;
        std::uintptr_t address;
        std::uintptr_t buffer;
    };
    const Case refused[] = {
        {"another chip's table", 1, other.address(), buffer},
        {"the buffer of another chip's stream", 1, table, other.table[0].BufferAddress},
        {"no address", 1, 0, buffer},
        {"no buffer", 1, table, 0},
        {"not aligned for a descriptor", 1, table + 4, buffer},
        {"chip 0", 0, table, buffer},
        {"chip 5", 5, table, buffer},
        {"the top of the address space", 1, UINTPTR_MAX - 7, buffer},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(windows.IsMappedFrameTable(c.chip, c.address, c.buffer)) << c.what;
    }
}

TEST(CaptureWindowsTable, MemoryTheStationCannotWriteIsNeverRead) {
    CaptureWindows windows;
    MemoryChip chip;
    const std::uintptr_t buffer = chip.table[0].BufferAddress;
    Pages pages(3);
    const std::size_t page = pages.PageSize();

    // A copy of the table in writable pages is still a table listing the buffer; one that
    // runs into a read-only page or a page that is not mapped is refused without a fault.
    const std::uintptr_t whole = pages.Place(chip, 64);
    EXPECT_TRUE(windows.IsMappedFrameTable(1, whole, buffer));
    const std::uintptr_t straddling = pages.Place(chip, page - 64);
    EXPECT_TRUE(windows.IsMappedFrameTable(1, straddling, buffer)) << "two writable pages";
    pages.Protect(1, PROT_READ);
    EXPECT_FALSE(windows.IsMappedFrameTable(1, straddling, buffer)) << "read-only second page";
    pages.Protect(1, PROT_NONE);
    EXPECT_FALSE(windows.IsMappedFrameTable(1, straddling, buffer)) << "inaccessible page";
    EXPECT_FALSE(windows.IsMappedFrameTable(1, straddling + page, buffer)) << "no access at all";
    pages.Protect(0, PROT_READ);
    EXPECT_FALSE(windows.IsMappedFrameTable(1, whole, buffer)) << "read-only table";

    void* gone = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(gone, MAP_FAILED);
    ASSERT_EQ(munmap(gone, page), 0);
    EXPECT_FALSE(windows.IsMappedFrameTable(1, reinterpret_cast<std::uintptr_t>(gone), buffer))
        << "unmapped";
}

} // namespace
} // namespace live_test
