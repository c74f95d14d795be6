// The driver's records live in zero-filled global memory, as the capture layer's drivers keep
// them: a fixed block (its handle is its address) holding the record.
#pragma once

#include "win32/memory.h"

#include <new>

namespace tarvovfw {

// A record in a new zero-filled fixed block, or null when there is no memory.
template <typename T> T* global_new() {
    void* block = GlobalAlloc(GPTR, sizeof(T));
    return block != nullptr ? new (block) T{} : nullptr;
}

// Ends the record and frees its block; null is ignored.
template <typename T> void global_delete(T* record) {
    if (record != nullptr) {
        record->~T();
        GlobalFree(static_cast<HGLOBAL>(record));
    }
}

} // namespace tarvovfw
