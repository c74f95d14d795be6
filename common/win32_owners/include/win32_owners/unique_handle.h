// A kernel-object handle (file, device, event, mutex, thread) closed with CloseHandle.
#pragma once

#include "win32_owners/owner.h"

#include <win32/handleapi.h>
#include <win32/types.h>

namespace win32_owners {

struct HandleTraits {
    using Handle = HANDLE;
    // CreateFileA fails with INVALID_HANDLE_VALUE, the other calls with null.
    static bool empty(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static HANDLE none() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};

using UniqueHandle = Owner<HandleTraits>;

} // namespace win32_owners
