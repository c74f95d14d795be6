#include "registry_tree.h"

#include "installer_support.h"
#include "names.h"
#include "win32_handles.h"

namespace setup {

LONG DeleteRegistryTree(HKEY key, const char* subkey) {
    RegKey sub;
    LONG e = RegOpenKeyExA(key, subkey, 0, KEY_ALL_ACCESS, sub.out());
    if (e != ERROR_SUCCESS) {
        return e;
    }
    char name[256];
    while (RegEnumKeyA(sub.get(), 0, name, sizeof name) == ERROR_SUCCESS) {
        if (DeleteRegistryTree(sub.get(), name) != ERROR_SUCCESS) {
            break;
        }
    }
    sub.reset();
    return RegDeleteKeyA(key, subkey);
}

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
