// Memory descriptor lists: describing, locking and mapping buffers, and the address checks behind
// them.
#include "nt/io.h"
#include "nt/seh.h"

#include "kernel.h"
#include "pool.h"

#include "machine/machine.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sys/uio.h>
#include <unistd.h>
#include <map>
#include <mutex>

namespace tolm_nt {

bool range_accessible(const void* address, std::size_t length, bool write) {
    const auto start = reinterpret_cast<std::uintptr_t>(address);
    if (start == 0) {
        return false;
    }
    if (length == 0) {
        return true;
    }
    const std::uintptr_t end = start + length;
    if (end < start) {
        return false;
    }
    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr) {
        return false;
    }
    std::uintptr_t covered = start;
    char line[512];
    while (covered < end && std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long lo = 0;
        unsigned long hi = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &lo, &hi, perms) != 3) {
            continue;
        }
        if (hi <= covered || lo > covered) {
            continue; // the regions are sorted: a gap before `covered` fails below
        }
        if (perms[0] != 'r' || (write && perms[1] != 'w')) {
            break;
        }
        covered = hi;
    }
    std::fclose(maps);
    return covered >= end;
}

int own_pid() {
    static std::atomic<int> pid{[] {
        pthread_atfork(nullptr, nullptr, [] { pid.store(getpid(), std::memory_order_relaxed); });
        return static_cast<int>(getpid());
    }()};
    return pid.load(std::memory_order_relaxed);
}

bool copy_from_user(void* kernel, const void* user, std::size_t length) {
    if (length == 0) {
        return true;
    }
    if (user == nullptr) {
        return false;
    }
    iovec local{kernel, length};
    iovec remote{const_cast<void*>(user), length};
    const ssize_t n = process_vm_readv(own_pid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(length)) {
        return true;
    }
    if (n < 0 && (errno == ENOSYS || errno == EPERM)) { // not allowed here: check, then copy
        if (!range_accessible(user, length, false)) {
            return false;
        }
        std::memcpy(kernel, user, length);
        return true;
    }
    return false;
}

bool copy_to_user(void* user, const void* kernel, std::size_t length) {
    if (length == 0) {
        return true;
    }
    if (user == nullptr) {
        return false;
    }
    iovec local{const_cast<void*>(kernel), length};
    iovec remote{user, length};
    const ssize_t n = process_vm_writev(own_pid(), &local, 1, &remote, 1, 0);
    if (n == static_cast<ssize_t>(length)) {
        return true;
    }
    if (n < 0 && (errno == ENOSYS || errno == EPERM)) {
        if (!range_accessible(user, length, true)) {
            return false;
        }
        std::memcpy(user, kernel, length);
        return true;
    }
    return false;
}

namespace {
std::mutex mdl_mutex;

void probe(const void* address, SIZE_T length, ULONG alignment, bool write) {
    if (length == 0) {
        return;
    }
    if (alignment != 0 && reinterpret_cast<ULONG_PTR>(address) % alignment != 0) {
        ExRaiseStatus(STATUS_DATATYPE_MISALIGNMENT);
    }
    if (!range_accessible(address, length, write)) {
        ExRaiseStatus(STATUS_ACCESS_VIOLATION);
    }
}

std::map<PMDL, std::uint32_t>& locks() {
    static std::map<PMDL, std::uint32_t> l;
    return l;
}
} // namespace

} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

SIZE_T NTAPI MmSizeOfMdl(PVOID base, SIZE_T length) {
    return sizeof(MDL) + sizeof(PFN_NUMBER) * ADDRESS_AND_SIZE_TO_SPAN_PAGES(base, length);
}

PMDL NTAPI IoAllocateMdl(PVOID va, ULONG length, BOOLEAN secondary, BOOLEAN, PIRP irp) {
    require_irql_at_most(DISPATCH_LEVEL, "IoAllocateMdl");
    if (length == 0 || length > 0x7FFFF000u || MmSizeOfMdl(va, length) > 0x7FFF) {
        return nullptr;
    }
    auto* mdl = static_cast<PMDL>(allocate_block(BlockKind::Pool, NonPagedPool,
                                                 MmSizeOfMdl(va, length), 0x206C644D /* "Mdl " */,
                                                 module_of(__builtin_return_address(0))));
    if (mdl == nullptr) {
        return nullptr;
    }
    MmInitializeMdl(mdl, va, length);
    mdl->MdlFlags = MDL_ALLOCATED_FIXED_SIZE;
    if (irp != nullptr) {
        if (!secondary || irp->MdlAddress == nullptr) {
            irp->MdlAddress = mdl;
        } else {
            PMDL last = irp->MdlAddress;
            while (last->Next != nullptr) {
                last = last->Next;
            }
            last->Next = mdl;
        }
    }
    return mdl;
}

VOID NTAPI IoFreeMdl(PMDL mdl) {
    if (mdl->MdlFlags & MDL_PAGES_LOCKED) {
        bug_check(DRIVER_LEFT_LOCKED_PAGES_IN_PROCESS, reinterpret_cast<ULONG_PTR>(mdl), 0, 0, 0,
                  "IoFreeMdl on a list whose pages are still locked");
    }
    free_block(BlockKind::Pool, mdl, 0, false, "IoFreeMdl");
}

PMDL NTAPI MmCreateMdl(PMDL mdl, PVOID base, SIZE_T length) {
    if (mdl == nullptr) {
        mdl = static_cast<PMDL>(allocate_block(BlockKind::Pool, NonPagedPool,
                                               MmSizeOfMdl(base, length), 0x206C644D,
                                               module_of(__builtin_return_address(0))));
        if (mdl == nullptr) {
            return nullptr;
        }
    }
    MmInitializeMdl(mdl, base, length);
    return mdl;
}

VOID NTAPI MmProbeAndLockPages(PMDL mdl, KPROCESSOR_MODE mode, LOCK_OPERATION operation) {
    require_irql_at_most(mode == UserMode ? APC_LEVEL : DISPATCH_LEVEL, "MmProbeAndLockPages");
    if (mdl->MdlFlags & MDL_PAGES_LOCKED) {
        bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x4000, reinterpret_cast<ULONG_PTR>(mdl), 0,
                  0, "MmProbeAndLockPages on a list already locked");
    }
    void* va = MmGetMdlVirtualAddress(mdl);
    const ULONG length = mdl->ByteCount;
    if (!range_accessible(va, length, operation != IoReadAccess)) {
        ExRaiseStatus(STATUS_ACCESS_VIOLATION);
    }
    // A request from user mode names user memory only: a kernel address in it is refused, as
    // the probe of a user range refuses every address above the user part of the space.
    if (mode == UserMode && is_kernel_memory(va, length)) {
        ExRaiseStatus(STATUS_ACCESS_VIOLATION);
    }
    const ULONG pages = ADDRESS_AND_SIZE_TO_SPAN_PAGES(va, length);
    PPFN_NUMBER pfn = MmGetMdlPfnArray(mdl);
    std::uint32_t id = 0;
    const bool described = mode == KernelMode && hw().physical_address(va).has_value();
    if (described) { // already physical memory (pool): describe it
        for (ULONG i = 0; i < pages; ++i) {
            const char* p = i == 0 ? static_cast<char*>(va)
                                   : static_cast<char*>(mdl->StartVa) + std::size_t(i) * PAGE_SIZE;
            const auto phys = hw().physical_address(p);
            if (!phys) {
                ExRaiseStatus(STATUS_ACCESS_VIOLATION);
            }
            pfn[i] = *phys >> PAGE_SHIFT;
        }
    } else {
        const machine::LockedPages locked = hw().lock_pages(va, length);
        if (locked.id == 0 || locked.pages.size() < pages) {
            if (locked.id != 0) {
                hw().unlock_pages(locked.id);
            }
            ExRaiseStatus(STATUS_ACCESS_VIOLATION);
        }
        for (ULONG i = 0; i < pages; ++i) {
            pfn[i] = locked.pages[i] >> PAGE_SHIFT;
        }
        id = locked.id;
    }
    {
        std::lock_guard lock(mdl_mutex);
        locks()[mdl] = id;
    }
    mdl->MdlFlags |= MDL_PAGES_LOCKED;
    mdl->Process = mode == UserMode ? PsGetCurrentProcess() : nullptr;
}

VOID NTAPI MmUnlockPages(PMDL mdl) {
    require_irql_at_most(DISPATCH_LEVEL, "MmUnlockPages");
    std::uint32_t id = 0;
    bool found = false;
    {
        std::lock_guard lock(mdl_mutex);
        const auto it = locks().find(mdl);
        if (it != locks().end() && (mdl->MdlFlags & MDL_PAGES_LOCKED)) {
            found = true;
            id = it->second;
            locks().erase(it);
        }
    }
    if (!found) {
        bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x4001, reinterpret_cast<ULONG_PTR>(mdl), 0,
                  0, "MmUnlockPages on a list that is not locked");
    }
    if (id != 0) {
        hw().unlock_pages(id);
    }
    mdl->MdlFlags &= ~static_cast<CSHORT>(MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA);
    mdl->MappedSystemVa = nullptr;
}

VOID NTAPI MmBuildMdlForNonPagedPool(PMDL mdl) {
    void* va = MmGetMdlVirtualAddress(mdl);
    const ULONG pages = ADDRESS_AND_SIZE_TO_SPAN_PAGES(va, mdl->ByteCount);
    PPFN_NUMBER pfn = MmGetMdlPfnArray(mdl);
    for (ULONG i = 0; i < pages; ++i) {
        const char* p = i == 0 ? static_cast<char*>(va)
                               : static_cast<char*>(mdl->StartVa) + std::size_t(i) * PAGE_SIZE;
        const auto phys = hw().physical_address(p);
        if (!phys) {
            bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x4002, reinterpret_cast<ULONG_PTR>(mdl),
                      reinterpret_cast<ULONG_PTR>(p), 0,
                      "MmBuildMdlForNonPagedPool on memory that is not non-paged");
        }
        pfn[i] = *phys >> PAGE_SHIFT;
    }
    mdl->MdlFlags |= MDL_SOURCE_IS_NONPAGED_POOL;
    mdl->MappedSystemVa = va;
}

PVOID NTAPI MmMapLockedPagesSpecifyCache(PMDL mdl, KPROCESSOR_MODE mode, MEMORY_CACHING_TYPE, PVOID,
                                         ULONG, MM_PAGE_PRIORITY) {
    require_irql_at_most(mode == UserMode ? APC_LEVEL : DISPATCH_LEVEL, "MmMapLockedPages");
    if (!(mdl->MdlFlags & (MDL_PAGES_LOCKED | MDL_SOURCE_IS_NONPAGED_POOL))) {
        bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x4003, reinterpret_cast<ULONG_PTR>(mdl), 0,
                  0, "MmMapLockedPages on a list that is neither locked nor non-paged");
    }
    // One address space: the pages are mapped where they already are.
    void* va = MmGetMdlVirtualAddress(mdl);
    if (mode == KernelMode) {
        mdl->MappedSystemVa = va;
        if (mdl->MdlFlags & MDL_PAGES_LOCKED) {
            mdl->MdlFlags |= MDL_MAPPED_TO_SYSTEM_VA;
        }
    }
    return va;
}

PVOID NTAPI MmMapLockedPages(PMDL mdl, KPROCESSOR_MODE mode) {
    return MmMapLockedPagesSpecifyCache(mdl, mode, MmCached, nullptr, TRUE, NormalPagePriority);
}

VOID NTAPI MmUnmapLockedPages(PVOID base, PMDL mdl) {
    if (base == mdl->MappedSystemVa && (mdl->MdlFlags & MDL_MAPPED_TO_SYSTEM_VA)) {
        mdl->MdlFlags &= ~static_cast<CSHORT>(MDL_MAPPED_TO_SYSTEM_VA);
    }
}

VOID NTAPI ProbeForRead(const volatile VOID* address, SIZE_T length, ULONG alignment) {
    probe(const_cast<const void*>(address), length, alignment, false);
}

VOID NTAPI ProbeForWrite(volatile VOID* address, SIZE_T length, ULONG alignment) {
    probe(const_cast<const void*>(address), length, alignment, true);
}

BOOLEAN NTAPI MmIsAddressValid(PVOID va) {
    return range_accessible(va, 1, false) ? TRUE : FALSE;
}

} // extern "C"
