// The physical address space's RAM: contiguous blocks and locked user pages, each physical page
// backed by host memory. DMA goes through here; what real hardware would punish is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "machine/machine.h"

namespace machine {

enum class DmaResult { Ok, Unmapped, NotLocked };

class PhysicalMemory {
public:
    PhysicalMemory() = default;
    ~PhysicalMemory();
    PhysicalMemory(const PhysicalMemory&) = delete;
    PhysicalMemory& operator=(const PhysicalMemory&) = delete;

    MemoryBlock allocate(std::size_t bytes);
    // Virtually contiguous host memory whose 4 KB pages get scattered physical pages.
    MemoryBlock allocate_scattered(std::size_t bytes);
    void free(PhysAddr phys);
    LockedPages lock(void* user, std::size_t length);
    void unlock(std::uint32_t id);
    // Physical pages of a lock (empty when there is no such lock).
    std::vector<std::uint32_t> lock_pfns(std::uint32_t id) const;
    std::optional<PhysAddr> physical_address(const void* host) const;
    void* host_address(PhysAddr phys, std::size_t length) const;

    // DMA access to [phys, phys + length) inside one page. A write records the chip and the
    // number of its engine start that wrote the page.
    DmaResult write(PhysAddr phys, const void* data, std::size_t length, int chip = 0,
                    std::uint32_t run = 0);
    // The same with sensor noise added: byte i gets + noise[i], saturated to 0-255.
    DmaResult write_noisy(PhysAddr phys, const std::uint8_t* data, std::size_t length,
                          const std::int8_t* noise, int chip, std::uint32_t run);
    DmaResult read(PhysAddr phys, void* data, std::size_t length) const;
    // True when engine start `run` of `chip` wrote to one of the pages.
    bool written_by(const std::vector<std::uint32_t>& pfns, int chip, std::uint32_t run) const;

private:
    enum class PageState : std::uint8_t { Absent, Ram, Locked, Unlocked };
    struct Page {
        std::uint8_t* host = nullptr; // host address of byte `lo` of the page
        std::uint16_t lo = 0;         // valid bytes [lo, hi) of the page
        std::uint16_t hi = 0;
        PageState state = PageState::Absent;
        int writer_chip = 0;          // the chip whose DMA last wrote here
        std::uint32_t writer_run = 0; // and the number of its engine start then
    };
    struct Block {
        PhysAddr phys;
        std::uint8_t* host;
        std::size_t size;
        std::vector<std::uint32_t> pfns; // scattered pages; empty for a contiguous block
    };
    struct Lock {
        std::uintptr_t user;
        std::size_t length;
        std::vector<std::uint32_t> pfns;
    };

    DmaResult check(PhysAddr phys, std::size_t length, std::uint8_t*& host, Page*& page) const;
    bool slot_free(std::uint32_t pfn) const;
    // Page frames for `count` scattered pages (empty when the space is full).
    std::vector<std::uint32_t> scattered_pfns(std::size_t count);
    Page* find_page(std::uint32_t pfn) const;
    void set_page(std::uint32_t pfn, const Page& page);
    void erase_page(std::uint32_t pfn);

    // The pages by page frame number, in a two-level table (pfn bits 19-10, 9-0) of page
    // records: DMA looks a page up on every WRITE and fetch.
    std::array<std::unique_ptr<std::array<Page, 1024>>, 1024> index_;
    std::map<PhysAddr, Block> blocks_;                   // by physical start (first page)
    std::map<std::uintptr_t, PhysAddr> block_hosts_;     // host start -> physical start
    std::map<std::uint32_t, Lock> locks_;                // by id
    std::map<std::uintptr_t, std::uint32_t> lock_hosts_; // user start -> id
    PhysAddr next_block_ = 0x00100000;
    std::uint32_t next_lock_id_ = 1;
    std::uint32_t cursor_ = 0; // where the search for scattered frames goes on
};

} // namespace machine
