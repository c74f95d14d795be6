// Global memory blocks. A moveable block's handle is an entry of this table, a fixed block's
// handle its address; both keep their size, a moveable one also its lock count.
#include "win32/errors.h"
#include "win32/memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

struct Block {
    void* data = nullptr;
    SIZE_T size = 0;
    bool moveable = false;
    unsigned locks = 0;
};

struct Table {
    std::mutex mutex;
    std::map<HGLOBAL, Block> blocks; // by handle
    std::uintptr_t next_moveable = 0;
};

Table& table() {
    static Table* t = new Table; // blocks may be freed while the process ends
    return *t;
}

// Handles of moveable blocks: odd values that no allocation has as its address.
HGLOBAL next_handle(Table& t) {
    t.next_moveable += 2;
    return reinterpret_cast<HGLOBAL>(t.next_moveable | 1);
}

} // namespace

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    // At least one byte, so every block has an address of its own.
    void* data = (uFlags & GMEM_ZEROINIT) ? std::calloc(dwBytes ? dwBytes : 1, 1)
                                          : std::malloc(dwBytes ? dwBytes : 1);
    if (data == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const bool moveable = (uFlags & GMEM_MOVEABLE) != 0;
    const HGLOBAL h = moveable ? next_handle(t) : static_cast<HGLOBAL>(data);
    t.blocks[h] = Block{data, dwBytes, moveable, 0};
    return h;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto it = t.blocks.find(hMem);
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (it->second.moveable) {
        ++it->second.locks;
    }
    return it->second.data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto it = t.blocks.find(hMem);
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Block& b = it->second;
    if (b.moveable && b.locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (b.moveable && --b.locks > 0) {
        return TRUE;
    }
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    void* data = nullptr;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        const auto it = t.blocks.find(hMem);
        if (it == t.blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
        data = it->second.data;
        t.blocks.erase(it);
    }
    std::free(data);
    return nullptr;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto it = t.blocks.find(hMem);
    if (it == t.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return it->second.size;
}
}
