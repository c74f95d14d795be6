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
