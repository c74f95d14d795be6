// Global memory: blocks with a handle that is locked to get their address.
// Moveable blocks never move here (the handle names a block whose address stays), but the lock
// count is kept as on Windows, so GlobalUnlock and GlobalFree answer as there.
#pragma once

#include "win32/types.h"

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

extern "C" {
// Null with ERROR_NOT_ENOUGH_MEMORY. A GMEM_FIXED block's handle is its address.
HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// The block's address, counting a lock; null with ERROR_INVALID_HANDLE for an unknown handle.
LPVOID WINAPI GlobalLock(HGLOBAL hMem);
// TRUE while locks remain; FALSE with last error 0 when the count reached zero (or the block
// is fixed), FALSE with ERROR_NOT_LOCKED when it was not locked.
BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
// Null on success; the handle back with ERROR_INVALID_HANDLE for an unknown one.
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
// The block's size in bytes; 0 with ERROR_INVALID_HANDLE for an unknown handle.
SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
}

// Virtual memory: what VirtualQuery reports of the process's address space.
#ifndef PAGE_NOACCESS
#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#endif
#define PAGE_WRITECOPY 0x08
#define PAGE_EXECUTE 0x10
#define PAGE_EXECUTE_READ 0x20
#define PAGE_EXECUTE_READWRITE 0x40
#ifndef MEM_COMMIT
#define MEM_COMMIT 0x1000
#define MEM_RESERVE 0x2000
#endif
#define MEM_FREE 0x10000
#define MEM_PRIVATE 0x20000
#define MEM_MAPPED 0x40000
#define MEM_IMAGE 0x1000000

typedef struct _MEMORY_BASIC_INFORMATION {
    PVOID BaseAddress;
    PVOID AllocationBase;
    DWORD AllocationProtect;
    SIZE_T RegionSize;
    DWORD State;
    DWORD Protect;
    DWORD Type;
} MEMORY_BASIC_INFORMATION, *PMEMORY_BASIC_INFORMATION;

extern "C" {
// The region of pages with the same state and protection that holds `lpAddress`, from the
// address's page on. Answers the bytes written (0 with ERROR_BAD_LENGTH when the record does
// not fit). Free address space is a MEM_FREE region up to the next mapped page.
SIZE_T WINAPI VirtualQuery(LPCVOID lpAddress, PMEMORY_BASIC_INFORMATION lpBuffer, SIZE_T dwLength);
}
