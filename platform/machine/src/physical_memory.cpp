#include "physical_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace machine {
namespace {

constexpr std::uint32_t kFirstScatteredPfn = 0x40000; // 0x40000000
// 1 GB for scattered pages: sparse enough to keep them apart, dense enough that the page
// records stay few (each 1024 pfns share a table).
constexpr std::uint32_t kScatteredPfns = 0x40000;
constexpr PhysAddr kBlockLimit = 0x40000000;

// out[i] = data[i] + noise[i], saturated to 0-255. Flipping the top bit makes the bytes signed,
// so one signed saturating add does it.
void add_noise_scalar(std::uint8_t* out, const std::uint8_t* data, const std::int8_t* noise,
                      std::size_t from, std::size_t length) {
    for (std::size_t i = from; i < length; ++i) {
        const int v = int(data[i]) + noise[i];
        out[i] = std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void add_noise_avx2(std::uint8_t* out, const std::uint8_t* data,
                                                    const std::int8_t* noise, std::size_t length) {
    const __m256i flip = _mm256_set1_epi8(char(0x80));
    std::size_t i = 0;
    for (; i + 32 <= length; i += 32) {
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(noise + i));
        const __m256i v = _mm256_xor_si256(_mm256_adds_epi8(_mm256_xor_si256(d, flip), n), flip);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
    }
    add_noise_scalar(out, data, noise, i, length);
}

void add_noise_sse2(std::uint8_t* out, const std::uint8_t* data, const std::int8_t* noise,
                    std::size_t length) {
    const __m128i flip = _mm_set1_epi8(char(0x80));
    std::size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(noise + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_xor_si128(_mm_adds_epi8(_mm_xor_si128(d, flip), n), flip));
    }
    add_noise_scalar(out, data, noise, i, length);
}
#endif

void add_noise(std::uint8_t* out, const std::uint8_t* data, const std::int8_t* noise,
               std::size_t length) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        add_noise_avx2(out, data, noise, length);
    } else {
        add_noise_sse2(out, data, noise, length);
    }
#else
    add_noise_scalar(out, data, noise, 0, length);
#endif
}

} // namespace

PhysicalMemory::Page* PhysicalMemory::find_page(std::uint32_t pfn) const {
    const auto& table = index_[(pfn >> 10) & 0x3FF];
    if (!table) {
        return nullptr;
    }
    Page& p = (*table)[pfn & 0x3FF];
    return p.state == PageState::Absent ? nullptr : &p;
}

void PhysicalMemory::set_page(std::uint32_t pfn, const Page& page) {
    auto& table = index_[(pfn >> 10) & 0x3FF];
    if (!table) {
        table = std::make_unique<std::array<Page, 1024>>();
    }
    (*table)[pfn & 0x3FF] = page;
}

void PhysicalMemory::erase_page(std::uint32_t pfn) {
    if (auto& table = index_[(pfn >> 10) & 0x3FF]) {
        (*table)[pfn & 0x3FF] = Page{};
    }
}

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
        set_page((phys + PhysAddr(off)) >> 12, Page{host + off, 0, kPageSize, PageState::Ram});
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
    Block block{0, host, size, scattered_pfns(size / kPageSize)};
    if (block.pfns.empty()) {
        std::free(host);
        return {};
    }
    for (std::size_t i = 0; i < block.pfns.size(); ++i) {
        set_page(block.pfns[i], Page{host + i * kPageSize, 0, kPageSize, PageState::Ram});
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
            erase_page((phys + PhysAddr(off)) >> 12);
        }
    }
    for (std::uint32_t pfn : it->second.pfns) {
        erase_page(pfn);
    }
    block_hosts_.erase(reinterpret_cast<std::uintptr_t>(it->second.host));
    std::free(it->second.host);
    blocks_.erase(it);
}

bool PhysicalMemory::slot_free(std::uint32_t pfn) const {
    const Page* p = find_page(pfn);
    return p == nullptr || p->state == PageState::Unlocked; // an unlocked page may be reused
}

std::vector<std::uint32_t> PhysicalMemory::scattered_pfns(std::size_t count) {
    // A window of 2 x count + 1 free frames: the pages go to every second frame, in falling
    // order, so no page is followed by the next one and every page's neighbours are unmapped.
    const std::uint32_t span = std::uint32_t(2 * count + 1);
    if (count == 0 || span > kScatteredPfns) {
        return {};
    }
    for (std::uint32_t tried = 0; tried < kScatteredPfns;) {
        if (cursor_ + span > kScatteredPfns) {
            tried += kScatteredPfns - cursor_;
            cursor_ = 0;
            continue;
        }
        const std::uint32_t base = kFirstScatteredPfn + cursor_;
        std::uint32_t busy = span;
        for (std::uint32_t i = span; i-- > 0;) {
            if (!slot_free(base + i)) {
                busy = i;
                break;
            }
        }
        if (busy == span) {
            std::vector<std::uint32_t> pfns(count);
            for (std::size_t i = 0; i < count; ++i) {
                pfns[i] = base + 1 + std::uint32_t(2 * (count - 1 - i));
            }
            cursor_ += span + 7; // the next window starts elsewhere
            return pfns;
        }
        tried += busy + 1;
        cursor_ += busy + 1;
    }
    return {};
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
    const std::vector<std::uint32_t> pfns =
        scattered_pfns((end - first + kPageSize - 1) / kPageSize);
    if (pfns.empty()) {
        return result;
    }
    std::size_t next = 0;
    for (std::uintptr_t hb = first; hb < end; hb += kPageSize) {
        const std::uintptr_t lo = std::max(u, hb) - hb;
        const std::uintptr_t hi = std::min<std::uintptr_t>(end, hb + kPageSize) - hb;
        const std::uint32_t pfn = pfns[next++];
        set_page(pfn, Page{reinterpret_cast<std::uint8_t*>(hb + lo), std::uint16_t(lo),
                           std::uint16_t(hi), PageState::Locked});
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
        if (Page* p = find_page(pfn)) {
            p->state = PageState::Unlocked;
            p->host = nullptr;
        }
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
    Page* page = nullptr;
    if (length <= kPageSize && check(phys, length, host, page) == DmaResult::Ok) {
        return host;
    }
    return nullptr;
}

DmaResult PhysicalMemory::check(PhysAddr phys, std::size_t length, std::uint8_t*& host,
                                Page*& page) const {
    Page* p = find_page(phys >> 12);
    if (p == nullptr) {
        return DmaResult::Unmapped;
    }
    if (p->state == PageState::Unlocked) {
        return DmaResult::NotLocked;
    }
    const std::uint32_t off = phys & (kPageSize - 1);
    if (off < p->lo || off + length > p->hi) {
        return DmaResult::NotLocked;
    }
    host = p->host + (off - p->lo);
    page = p;
    return DmaResult::Ok;
}

DmaResult PhysicalMemory::write(PhysAddr phys, const void* data, std::size_t length, int chip,
                                std::uint32_t run) {
    std::uint8_t* host = nullptr;
    Page* page = nullptr;
    const DmaResult r = check(phys, length, host, page);
    if (r == DmaResult::Ok && length > 0) {
        std::memcpy(host, data, length);
        page->writer_chip = chip;
        page->writer_run = run;
    }
    return r;
}

DmaResult PhysicalMemory::write_noisy(PhysAddr phys, const std::uint8_t* data, std::size_t length,
                                      const std::int8_t* noise, int chip, std::uint32_t run) {
    std::uint8_t* host = nullptr;
    Page* page = nullptr;
    const DmaResult r = check(phys, length, host, page);
    if (r == DmaResult::Ok && length > 0) {
        add_noise(host, data, noise, length);
        page->writer_chip = chip;
        page->writer_run = run;
    }
    return r;
}

DmaResult PhysicalMemory::read(PhysAddr phys, void* data, std::size_t length) const {
    std::uint8_t* host = nullptr;
    Page* page = nullptr;
    const DmaResult r = check(phys, length, host, page);
    if (r == DmaResult::Ok && length > 0) {
        std::memcpy(data, host, length);
    }
    return r;
}

bool PhysicalMemory::written_by(const std::vector<std::uint32_t>& pfns, int chip,
                                std::uint32_t run) const {
    for (std::uint32_t pfn : pfns) {
        const Page* p = find_page(pfn);
        if (p != nullptr && p->writer_chip == chip && p->writer_run == run) {
            return true;
        }
    }
    return false;
}

} // namespace machine
