// Memory: pool with tags, non-cached and contiguous memory, memory descriptor lists, I/O space
// mappings and physical addresses.
#pragma once

#include "nt/ke.h"

typedef enum _POOL_TYPE {
    NonPagedPool,
    PagedPool,
    NonPagedPoolMustSucceed,
    DontUseThisType,
    NonPagedPoolCacheAligned,
    PagedPoolCacheAligned,
    NonPagedPoolCacheAlignedMustS
} POOL_TYPE;

typedef enum _MEMORY_CACHING_TYPE { MmNonCached, MmCached, MmWriteCombined } MEMORY_CACHING_TYPE;
typedef enum _LOCK_OPERATION { IoReadAccess, IoWriteAccess, IoModifyAccess } LOCK_OPERATION;
typedef enum _MM_PAGE_PRIORITY {
    LowPagePriority,
    NormalPagePriority = 16,
    HighPagePriority = 32
} MM_PAGE_PRIORITY;

typedef ULONG_PTR PFN_NUMBER;
typedef PFN_NUMBER* PPFN_NUMBER;

// A memory descriptor list, followed in memory by one page frame number per page it spans.
typedef struct _MDL {
    struct _MDL* Next;
    CSHORT Size; // bytes of the header and the page frame array
    CSHORT MdlFlags;
    PEPROCESS Process;
    PVOID MappedSystemVa;
    PVOID StartVa; // page-aligned start
    ULONG ByteCount;
    ULONG ByteOffset;
} MDL, *PMDL;

#define MDL_MAPPED_TO_SYSTEM_VA 0x0001
#define MDL_PAGES_LOCKED 0x0002
#define MDL_SOURCE_IS_NONPAGED_POOL 0x0004
#define MDL_ALLOCATED_FIXED_SIZE 0x0008
#define MDL_PARTIAL 0x0010
#define MDL_IO_SPACE 0x0800

#define MmGetMdlPfnArray(Mdl) (reinterpret_cast<PPFN_NUMBER>(reinterpret_cast<PMDL>(Mdl) + 1))
#define MmGetMdlVirtualAddress(Mdl)                                                                \
    (reinterpret_cast<PVOID>(reinterpret_cast<PCHAR>((Mdl)->StartVa) + (Mdl)->ByteOffset))
#define MmGetMdlByteCount(Mdl) ((Mdl)->ByteCount)
#define MmGetMdlByteOffset(Mdl) ((Mdl)->ByteOffset)
#define MmGetMdlBaseVa(Mdl) ((Mdl)->StartVa)

extern "C" {

// Pool. Every block carries its tag; blocks a driver still holds at unload are reported by tag.
NTKERNELAPI PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag);
NTKERNELAPI PVOID NTAPI ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes);
NTKERNELAPI VOID NTAPI ExFreePool(PVOID P);
NTKERNELAPI VOID NTAPI ExFreePoolWithTag(PVOID P, ULONG Tag);

NTKERNELAPI PVOID NTAPI MmAllocateNonCachedMemory(SIZE_T NumberOfBytes);
NTKERNELAPI VOID NTAPI MmFreeNonCachedMemory(PVOID BaseAddress, SIZE_T NumberOfBytes);
NTKERNELAPI PVOID NTAPI MmAllocateContiguousMemory(SIZE_T NumberOfBytes,
                                                   PHYSICAL_ADDRESS HighestAcceptableAddress);
NTKERNELAPI VOID NTAPI MmFreeContiguousMemory(PVOID BaseAddress);
NTKERNELAPI PHYSICAL_ADDRESS NTAPI MmGetPhysicalAddress(PVOID BaseAddress);
NTKERNELAPI BOOLEAN NTAPI MmIsAddressValid(PVOID VirtualAddress);

// I/O space: accesses through the returned address (READ_REGISTER_* / WRITE_REGISTER_*, or plain
// loads and stores) reach the device's register handlers.
NTKERNELAPI PVOID NTAPI MmMapIoSpace(PHYSICAL_ADDRESS PhysicalAddress, SIZE_T NumberOfBytes,
                                     MEMORY_CACHING_TYPE CacheType);
NTKERNELAPI VOID NTAPI MmUnmapIoSpace(PVOID BaseAddress, SIZE_T NumberOfBytes);

// Memory descriptor lists.
NTKERNELAPI SIZE_T NTAPI MmSizeOfMdl(PVOID Base, SIZE_T Length);
NTKERNELAPI PMDL NTAPI MmCreateMdl(PMDL MemoryDescriptorList, PVOID Base, SIZE_T Length);
// Raises STATUS_ACCESS_VIOLATION (caught by __try / __except) when the range cannot be locked.
NTKERNELAPI VOID NTAPI MmProbeAndLockPages(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode,
                                           LOCK_OPERATION Operation);
NTKERNELAPI VOID NTAPI MmUnlockPages(PMDL MemoryDescriptorList);
NTKERNELAPI VOID NTAPI MmBuildMdlForNonPagedPool(PMDL MemoryDescriptorList);
NTKERNELAPI PVOID NTAPI MmMapLockedPages(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode);
NTKERNELAPI PVOID NTAPI MmMapLockedPagesSpecifyCache(PMDL MemoryDescriptorList,
                                                     KPROCESSOR_MODE AccessMode,
                                                     MEMORY_CACHING_TYPE CacheType,
                                                     PVOID BaseAddress, ULONG BugCheckOnFailure,
                                                     MM_PAGE_PRIORITY Priority);
NTKERNELAPI VOID NTAPI MmUnmapLockedPages(PVOID BaseAddress, PMDL MemoryDescriptorList);

// Check a user range before the driver touches it: a range that is not readable (writable)
// raises STATUS_ACCESS_VIOLATION, a misaligned start STATUS_DATATYPE_MISALIGNMENT. A length of
// 0 checks nothing.
NTKERNELAPI VOID NTAPI ProbeForRead(const volatile VOID* Address, SIZE_T Length, ULONG Alignment);
NTKERNELAPI VOID NTAPI ProbeForWrite(volatile VOID* Address, SIZE_T Length, ULONG Alignment);

} // extern "C"

inline VOID MmInitializeMdl(PMDL Mdl, PVOID BaseVa, SIZE_T Length) {
    Mdl->Next = nullptr;
    Mdl->Size = static_cast<CSHORT>(
        sizeof(MDL) + sizeof(PFN_NUMBER) * ADDRESS_AND_SIZE_TO_SPAN_PAGES(BaseVa, Length));
    Mdl->MdlFlags = 0;
    Mdl->Process = nullptr;
    Mdl->MappedSystemVa = nullptr;
    Mdl->StartVa = PAGE_ALIGN(BaseVa);
    Mdl->ByteCount = static_cast<ULONG>(Length);
    Mdl->ByteOffset = BYTE_OFFSET(BaseVa);
}

inline PVOID MmGetSystemAddressForMdlSafe(PMDL Mdl, MM_PAGE_PRIORITY Priority) {
    if (Mdl->MdlFlags & (MDL_MAPPED_TO_SYSTEM_VA | MDL_SOURCE_IS_NONPAGED_POOL)) {
        return Mdl->MappedSystemVa;
    }
    return MmMapLockedPagesSpecifyCache(Mdl, KernelMode, MmCached, nullptr, FALSE, Priority);
}
inline PVOID MmGetSystemAddressForMdl(PMDL Mdl) {
    return MmGetSystemAddressForMdlSafe(Mdl, NormalPagePriority);
}
