// An open registry key closed with RegCloseKey.
#pragma once

#include "win32_owners/owner.h"

#include <win32/registry.h>

namespace win32_owners {

struct RegKeyTraits {
    using Handle = HKEY;
    static bool empty(HKEY h) { return h == nullptr; }
    static HKEY none() { return nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};

using RegKey = Owner<RegKeyTraits>;

} // namespace win32_owners
