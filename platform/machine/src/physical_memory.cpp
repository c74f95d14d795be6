#include "physical_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace machine {
namespace {

constexpr std::uint32_t kFirstScatteredPfn = 0x40000; // 0x40000000
constexpr std::uint32_t kScatteredPfns = 0xA0000;     // up to 0xE0000000 (register windows)
constexpr PhysAddr kBlockLimit = 0x40000000;

} // namespace

PhysicalMemory::~PhysicalMemory() {
    for (auto& [phys, block] : blocks_) {
        std::free(block.host);
    }
}

MemoryBlock PhysicalMemory::allocate(std::size_t bytes) {
    const std::size_t size =
        std::max<std::size_t>(kPageSize, (bytes + kPageSize - 1) & ~std::size_t(kPageSize - 1));
    if (size > kBlockLimit - next_block_) {
        return {};
    }
    auto* host = static_cast<std::uint8_t*>(std::aligned_alloc(kPageSize, size));
    if (host == nullptr) {
        return {};
    }
    std::memset(host, 0, size);
    const PhysAddr phys = next_block_;
    next_block_ += PhysAddr(size) + kPageSize; // an unmapped guard page between blocks
    for (std::size_t off = 0; off < size; off += kPageSize) {
        pages_[(phys + PhysAddr(off)) >> 12] = Page{host + off, 0, kPageSize, PageState::Ram};
    }
    blocks_[phys] = Block{phys, host, size, {}};
    block_hosts_[reinterpret_cast<std::uintptr_t>(host)] = phys;
    return MemoryBlock{phys, host, size};
}

MemoryBlock PhysicalMemory::allocate_scattered(std::size_t bytes) {
    const std::size_t size =
        std::max<std::size_t>(kPageSize, (bytes + kPageSize - 1) & ~std::size_t(kPageSize - 1));
    if (size / kPageSize > kScatteredPfns / 4) {
        return {};
    }
    auto* host = static_cast<std::uint8_t*>(std::aligned_alloc(kPageSize, size));
    if (host == nullptr) {
        return {};
    }
    std::memset(host, 0, size);
    Block block{0, host, size, {}};
    for (std::size_t off = 0; off < size; off += kPageSize) {
        const std::uint32_t pfn = scattered_pfn();
        pages_[pfn] = Page{host + off, 0, kPageSize, PageState::Ram};
        block.pfns.push_back(pfn);
    }
    block.phys = block.pfns[0] << 12;
    const PhysAddr phys = block.phys;
    blocks_[phys] = std::move(block);
    block_hosts_[reinterpret_cast<std::uintptr_t>(host)] = phys;
    return MemoryBlock{phys, host, size};
}

void PhysicalMemory::free(PhysAddr phys) {
    auto it = blocks_.find(phys);
    if (it == blocks_.end()) {
        return;
    }
    if (it->second.pfns.empty()) {
        for (std::size_t off = 0; off < it->second.size; off += kPageSize) {
            pages_.erase((phys + PhysAddr(off)) >> 12);
        }
    }
    for (std::uint32_t pfn : it->second.pfns) {
        pages_.erase(pfn);
    }
    block_hosts_.erase(reinterpret_cast<std::uintptr_t>(it->second.host));
    std::free(it->second.host);
    blocks_.erase(it);
}

std::uint32_t PhysicalMemory::scattered_pfn() {
    for (;;) {
        ++scatter_;
        const std::uint32_t pfn =
            kFirstScatteredPfn + (scatter_ * 0x9E3779B1u >> 7) % kScatteredPfns;
        if (pages_.find(pfn) == pages_.end() && pages_.find(pfn - 1) == pages_.end() &&
            pages_.find(pfn + 1) == pages_.end()) {
            return pfn;
        }
    }
}

LockedPages PhysicalMemory::lock(void* user, std::size_t length) {
    LockedPages result;
    const auto u = reinterpret_cast<std::uintptr_t>(user);
    if (user == nullptr || length == 0 || u + length < u) {
        return result;
    }
    Lock lk{u, length, {}};
    const std::uintptr_t first = u & ~std::uintptr_t(kPageSize - 1);
    const std::uintptr_t end = u + length;
    for (std::uintptr_t hb = first; hb < end; hb += kPageSize) {
        const std::uintptr_t lo = std::max(u, hb) - hb;
        const std::uintptr_t hi = std::min<std::uintptr_t>(end, hb + kPageSize) - hb;
        const std::uint32_t pfn = scattered_pfn();
        pages_[pfn] = Page{reinterpret_cast<std::uint8_t*>(hb + lo), std::uint16_t(lo),
                           std::uint16_t(hi), PageState::Locked};
        lk.pfns.push_back(pfn);
        result.pages.push_back((pfn << 12) | PhysAddr(hb == first ? lo : 0));
    }
    result.id = next_lock_id_++;
    lock_hosts_[u] = result.id;
    locks_[result.id] = std::move(lk);
    return result;
}

void PhysicalMemory::unlock(std::uint32_t id) {
    auto it = locks_.find(id);
    if (it == locks_.end()) {
        return;
    }
    for (std::uint32_t pfn : it->second.pfns) {
        Page& p = pages_[pfn];
        p.state = PageState::Unlocked;
        p.host = nullptr;
    }
    auto h = lock_hosts_.find(it->second.user);
    if (h != lock_hosts_.end() && h->second == id) {
        lock_hosts_.erase(h);
    }
    locks_.erase(it);
}

std::vector<std::uint32_t> PhysicalMemory::lock_pfns(std::uint32_t id) const {
    const auto it = locks_.find(id);
    return it == locks_.end() ? std::vector<std::uint32_t>{} : it->second.pfns;
}

std::optional<PhysAddr> PhysicalMemory::physical_address(const void* host) const {
    const auto h = reinterpret_cast<std::uintptr_t>(host);
    auto b = block_hosts_.upper_bound(h);
    if (b != block_hosts_.begin()) {
        --b;
        const Block& block = blocks_.at(b->second);
        if (h - b->first < block.size) {
            const std::size_t off = h - b->first;
            if (!block.pfns.empty()) {
                return (block.pfns[off / kPageSize] << 12) | PhysAddr(off % kPageSize);
            }
            return block.phys + PhysAddr(off);
        }
    }
    auto l = lock_hosts_.upper_bound(h);
    if (l != lock_hosts_.begin()) {
        --l;
        const Lock& lk = locks_.at(l->second);
        if (h - lk.user < lk.length) {
            const std::size_t index = (h >> 12) - (lk.user >> 12);
            return (lk.pfns[index] << 12) | PhysAddr(h & (kPageSize - 1));
        }
    }
    return std::nullopt;
}

void* PhysicalMemory::host_address(PhysAddr phys, std::size_t length) const {
    auto b = blocks_.upper_bound(phys);
    if (b != blocks_.begin()) {
        --b;
        if (b->second.pfns.empty() && phys - b->first < b->second.size &&
            length <= b->second.size - (phys - b->first)) {
            return b->second.host + (phys - b->first);
        }
    }
    std::uint8_t* host = nullptr;
    if (length <= kPageSize && check(phys, length, host) == DmaResult::Ok) {
        return host;
    }
    return nullptr;
}

DmaResult PhysicalMemory::check(PhysAddr phys, std::size_t length, std::uint8_t*& host) const {
    auto it = pages_.find(phys >> 12);
    if (it == pages_.end()) {
        return DmaResult::Unmapped;
    }
    const Page& p = it->second;
    if (p.state == PageState::Unlocked) {
        return DmaResult::NotLocked;
    }
    const std::uint32_t off = phys & (kPageSize - 1);
    if (off < p.lo || off + length > p.hi) {
        return DmaResult::NotLocked;
    }
    host = p.host + (off - p.lo);
    return DmaResult::Ok;
}

DmaResult PhysicalMemory::write(PhysAddr phys, const void* data, std::size_t length) {
    std::uint8_t* host = nullptr;
    const DmaResult r = check(phys, length, host);
    if (r == DmaResult::Ok && length > 0) {
        std::memcpy(host, data, length);
    }
    return r;
}

DmaResult PhysicalMemory::read(PhysAddr phys, void* data, std::size_t length) const {
    std::uint8_t* host = nullptr;
    const DmaResult r = check(phys, length, host);
    if (r == DmaResult::Ok && length > 0) {
        std::memcpy(data, host, length);
    }
    return r;
}

} // namespace machine
