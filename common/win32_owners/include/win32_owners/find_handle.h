// A search of FindFirstFileA closed with FindClose.
#pragma once

#include "win32_owners/owner.h"

#include <win32/files.h>
#include <win32/handleapi.h>

namespace win32_owners {

struct FindHandleTraits {
    using Handle = HANDLE;
    // FindFirstFileA fails with INVALID_HANDLE_VALUE.
    static bool empty(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};

using FindHandle = Owner<FindHandleTraits>;

} // namespace win32_owners
