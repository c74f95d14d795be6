// Pool with tags, non-cached and contiguous memory.
#include "pool.h"

#include "kernel.h"

#include "machine/machine.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace tolm_nt {
namespace {

struct Block {
    BlockKind kind;
    POOL_TYPE type;
    SIZE_T bytes;
    ULONG tag;
    void* module;
    machine::PhysAddr phys; // unused for paged pool (host memory only)
    bool shared;            // carved from a shared pool page (`phys` is that page)
    unsigned generation;    // of the pool pages it was carved from
};

// Small non-paged blocks share pool pages, as on NT: each block follows a 16-byte header that
// holds its tag, so a view of one block's page shows its neighbours. A page goes back to the
// machine when its last block is freed. Larger blocks get whole pages, physically scattered.
constexpr SIZE_T kHeader = 16;

struct PoolPage {
    std::uint8_t* host = nullptr;
    std::size_t next = 0; // first unused byte
    std::size_t blocks = 0;
};

std::mutex mutex;

std::map<machine::PhysAddr, PoolPage>& pool_pages() {
    static auto* p = new std::map<machine::PhysAddr, PoolPage>;
    return *p;
}
machine::PhysAddr current_page = 0; // the page new small blocks are carved from (0: none)
// Pool pages are the machine's memory: when a test replaces the machine they are gone with it.
std::uint64_t pages_machine = 0; // serial of the machine the pages belong to
unsigned generation = 0;

void follow_machine() {
    if (pages_machine != hw().serial()) {
        pages_machine = hw().serial();
        pool_pages().clear();
        current_page = 0;
        ++generation;
    }
}

bool fits_shared(SIZE_T size) {
    return ((size + 15) & ~SIZE_T(15)) + kHeader <= PAGE_SIZE;
}

// Carves a small block from the current pool page (under `mutex`); null when memory runs out.
void* carve(SIZE_T size, ULONG tag, machine::PhysAddr& page) {
    follow_machine();
    const SIZE_T rounded = (size + 15) & ~SIZE_T(15);
    auto it = pool_pages().find(current_page);
    if (it == pool_pages().end() || it->second.next + kHeader + rounded > PAGE_SIZE) {
        if (it != pool_pages().end() && it->second.blocks == 0) {
            hw().free(it->first);
            pool_pages().erase(it);
        }
        const machine::MemoryBlock m = hw().allocate_scattered(PAGE_SIZE);
        if (m.host == nullptr) {
            current_page = 0;
            return nullptr;
        }
        current_page = m.phys;
        it = pool_pages().emplace(m.phys, PoolPage{static_cast<std::uint8_t*>(m.host), 0, 0}).first;
    }
    PoolPage& p = it->second;
    std::uint8_t* header = p.host + p.next;
    std::memset(header, 0, kHeader);
    std::memcpy(header + 4, &tag, sizeof tag);
    p.next += kHeader + rounded;
    ++p.blocks;
    page = it->first;
    return header + kHeader;
}

// Gives a shared block back (under `mutex`); its page goes when it holds no block.
void uncarve(machine::PhysAddr page, unsigned block_generation) {
    follow_machine();
    if (block_generation != generation) {
        return;
    }
    const auto it = pool_pages().find(page);
    if (it == pool_pages().end()) {
        return;
    }
    if (--it->second.blocks == 0 && page != current_page) {
        hw().free(page);
        pool_pages().erase(it);
    }
}
// Never destroyed: a driver still loaded when the process ends keeps its pool (as a running
// service keeps it), and frees during the process's own end still find the table.
std::map<void*, Block>& blocks() {
    static auto* b = new std::map<void*, Block>;
    return *b;
}

bool paged(POOL_TYPE type) {
    return type == PagedPool || type == PagedPoolCacheAligned;
}

void release_memory(void* p, const Block& b) {
    if (b.kind == BlockKind::Pool && paged(b.type)) {
        std::free(p);
    } else if (b.shared) {
        std::lock_guard lock(mutex);
        uncarve(b.phys, b.generation);
    } else {
        hw().free(b.phys);
    }
}

} // namespace

void* allocate_block(BlockKind kind, POOL_TYPE type, SIZE_T bytes, ULONG tag, void* module) {
    require_irql_at_most(paged(type) ? APC_LEVEL : DISPATCH_LEVEL, "pool allocation");
    NTSTATUS ignored;
    if (fault_fires(platform::nt::Fault::PoolAllocation, ignored)) {
        return nullptr;
    }
    const SIZE_T size = bytes == 0 ? 1 : bytes;
    void* p = nullptr;
    machine::PhysAddr phys = 0;
    bool shared = false;
    if (kind == BlockKind::Pool && paged(type)) {
        p = std::aligned_alloc(16, (size + 15) & ~SIZE_T(15));
    } else if (kind == BlockKind::Pool && fits_shared(size)) {
        std::lock_guard lock(mutex);
        p = carve(size, tag, phys);
        shared = true;
    } else {
        {
            std::lock_guard lock(mutex);
            follow_machine();
        }
        // Pool and non-cached memory are only virtually contiguous; contiguous memory is both.
        const machine::MemoryBlock m =
            kind == BlockKind::Contiguous ? hw().allocate(size) : hw().allocate_scattered(size);
        p = m.host;
        phys = m.phys;
    }
    if (p == nullptr) {
        return nullptr;
    }
    // Pool is not zeroed on the real system either: a pattern exposes reads of fresh memory.
    if (kind == BlockKind::Pool) {
        std::memset(p, 0x5A, size);
    }
    std::lock_guard lock(mutex);
    blocks()[p] = Block{kind, type, bytes, tag, module, phys, shared, generation};
    return p;
}

void free_block(BlockKind kind, void* p, ULONG tag, bool check_tag, const char* routine) {
    Block b{};
    bool found = false;
    bool matches = false;
    {
        std::lock_guard lock(mutex);
        const auto it = blocks().find(p);
        if (it != blocks().end()) {
            found = true;
            b = it->second;
            matches = b.kind == kind && (!check_tag || b.tag == tag);
            if (matches) {
                blocks().erase(it);
            }
        }
    }
    if (!matches) {
        bug_check(BAD_POOL_CALLER, found ? 0x0A : 0x07, reinterpret_cast<ULONG_PTR>(p), tag, b.tag,
                  std::string(routine) + (found ? ": wrong kind or tag" : ": not a block"));
    }
    require_irql_at_most(paged(b.type) && kind == BlockKind::Pool ? APC_LEVEL : DISPATCH_LEVEL,
                         routine);
    release_memory(p, b);
}

bool is_kernel_memory(const void* address, std::size_t length) {
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t end = a + (length == 0 ? 1 : length);
    std::lock_guard lock(mutex);
    follow_machine();
    for (auto it = blocks().begin();
         it != blocks().end() && reinterpret_cast<std::uintptr_t>(it->first) < end; ++it) {
        const bool machine_memory = !(it->second.kind == BlockKind::Pool && paged(it->second.type));
        if (machine_memory && it->second.generation != generation) {
            continue; // went with a machine a test replaced: the host memory is free again
        }
        const auto start = reinterpret_cast<std::uintptr_t>(it->first);
        const std::size_t bytes = it->second.bytes == 0 ? 1 : it->second.bytes;
        // Blocks of whole machine pages own the rest of their last page too.
        const std::size_t span = machine_memory && !it->second.shared
                                     ? (bytes + PAGE_SIZE - 1) & ~std::size_t(PAGE_SIZE - 1)
                                     : bytes;
        if (start + span > a) {
            return true;
        }
    }
    for (const auto& [phys, page] : pool_pages()) {
        const auto start = reinterpret_cast<std::uintptr_t>(page.host);
        if (start < end && a < start + PAGE_SIZE) {
            return true;
        }
    }
    return false;
}

std::vector<platform::nt::PoolUsage> blocks_of(void* module, bool release) {
    std::map<ULONG, platform::nt::PoolUsage> by_tag;
    std::vector<std::pair<void*, Block>> victims;
    {
        std::lock_guard lock(mutex);
        for (auto it = blocks().begin(); it != blocks().end();) {
            if (module == nullptr || it->second.module == module) {
                auto& u = by_tag[it->second.tag];
                u.tag = it->second.tag;
                ++u.blocks;
                u.bytes += it->second.bytes;
                if (release) {
                    victims.emplace_back(*it);
                    it = blocks().erase(it);
                    continue;
                }
            }
            ++it;
        }
    }
    for (const auto& [p, b] : victims) {
        release_memory(p, b);
    }
    std::vector<platform::nt::PoolUsage> out;
    for (const auto& [tag, u] : by_tag) {
        out.push_back(u);
    }
    return out;
}

} // namespace tolm_nt

namespace platform::nt {
std::vector<PoolUsage> pool_usage() {
    return tolm_nt::blocks_of(nullptr, false);
}
} // namespace platform::nt

using namespace tolm_nt;

#define CALLER module_of(__builtin_return_address(0))

extern "C" {

PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag) {
    return allocate_block(BlockKind::Pool, type, bytes, tag, CALLER);
}

PVOID NTAPI ExAllocatePool(POOL_TYPE type, SIZE_T bytes) {
    return allocate_block(BlockKind::Pool, type, bytes, 0x20656E6F /* "None" */, CALLER);
}

VOID NTAPI ExFreePool(PVOID p) {
    free_block(BlockKind::Pool, p, 0, false, "ExFreePool");
}

VOID NTAPI ExFreePoolWithTag(PVOID p, ULONG tag) {
    free_block(BlockKind::Pool, p, tag, true, "ExFreePoolWithTag");
}

PVOID NTAPI MmAllocateNonCachedMemory(SIZE_T bytes) {
    require_irql_at_most(PASSIVE_LEVEL, "MmAllocateNonCachedMemory");
    return allocate_block(BlockKind::NonCached, NonPagedPool, bytes, 0x434E6D4D /* "MmNC" */,
                          CALLER);
}

VOID NTAPI MmFreeNonCachedMemory(PVOID p, SIZE_T) {
    require_irql_at_most(PASSIVE_LEVEL, "MmFreeNonCachedMemory");
    free_block(BlockKind::NonCached, p, 0, false, "MmFreeNonCachedMemory");
}

PVOID NTAPI MmAllocateContiguousMemory(SIZE_T bytes, PHYSICAL_ADDRESS highest) {
    require_irql_at_most(DISPATCH_LEVEL, "MmAllocateContiguousMemory");
    void* p =
        allocate_block(BlockKind::Contiguous, NonPagedPool, bytes, 0x6F436D4D /* "MmCo" */, CALLER);
    if (p != nullptr && highest.QuadPart != 0) {
        const auto phys = hw().physical_address(p);
        if (!phys ||
            static_cast<ULONGLONG>(*phys) + bytes - 1 > static_cast<ULONGLONG>(highest.QuadPart)) {
            free_block(BlockKind::Contiguous, p, 0, false, "MmAllocateContiguousMemory");
            return nullptr;
        }
    }
    return p;
}

VOID NTAPI MmFreeContiguousMemory(PVOID p) {
    free_block(BlockKind::Contiguous, p, 0, false, "MmFreeContiguousMemory");
}

PHYSICAL_ADDRESS NTAPI MmGetPhysicalAddress(PVOID address) {
    PHYSICAL_ADDRESS pa;
    pa.QuadPart = 0;
    if (const auto phys = hw().physical_address(address)) {
        pa.QuadPart = *phys;
    }
    return pa;
}

} // extern "C"
