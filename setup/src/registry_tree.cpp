#include "registry_tree.h"

#include "installer_support.h"
#include "names.h"
#include <win32_owners/reg_key.h>

namespace setup {

using win32_owners::RegKey;

std::int32_t ReadDeviceValue(long device, const char* name, std::int32_t fallback) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, format(names::kDeviceKey, device).c_str(), 0,
                      KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) {
        return 1;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<LPBYTE>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return fallback;
    }
    return static_cast<std::int32_t>(value);
}

} // namespace setup
