// A service-manager or service handle closed with CloseServiceHandle.
#pragma once

#include "win32_owners/owner.h"

#include <win32/winsvc.h>

namespace win32_owners {

struct ScHandleTraits {
    using Handle = SC_HANDLE;
    static bool empty(SC_HANDLE h) { return h == nullptr; }
    static SC_HANDLE none() { return nullptr; }
    static void close(SC_HANDLE h) { CloseServiceHandle(h); }
};

using ScHandle = Owner<ScHandleTraits>;

} // namespace win32_owners
