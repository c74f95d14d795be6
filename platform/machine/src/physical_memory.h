// The physical address space's RAM: contiguous blocks and locked user pages, each physical page
// backed by host memory. DMA goes through here; what real hardware would punish is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
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

    // DMA access to [phys, phys + length) inside one page.
    DmaResult write(PhysAddr phys, const void* data, std::size_t length);
    DmaResult read(PhysAddr phys, void* data, std::size_t length) const;

private:
    enum class PageState : std::uint8_t { Ram, Locked, Unlocked };
    struct Page {
        std::uint8_t* host = nullptr; // host address of byte `lo` of the page
        std::uint16_t lo = 0;         // valid bytes [lo, hi) of the page
        std::uint16_t hi = 0;
        PageState state = PageState::Ram;
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

    DmaResult check(PhysAddr phys, std::size_t length, std::uint8_t*& host) const;
    std::uint32_t scattered_pfn();

    std::unordered_map<std::uint32_t, Page> pages_;      // by page frame number
    std::map<PhysAddr, Block> blocks_;                   // by physical start (first page)
    std::map<std::uintptr_t, PhysAddr> block_hosts_;     // host start -> physical start
    std::map<std::uint32_t, Lock> locks_;                // by id
    std::map<std::uintptr_t, std::uint32_t> lock_hosts_; // user start -> id
    PhysAddr next_block_ = 0x00100000;
    std::uint32_t next_lock_id_ = 1;
    std::uint32_t scatter_ = 0;
};

} // namespace machine
