// The Reg* calls over the registry store. An open key is a handle-table object holding the
// hive and the key's path; every call looks the path up afresh, so a key deleted meanwhile
// answers ERROR_KEY_DELETED.
#include "platform/handles.h"
#include "platform/registry_store.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/shlwapi.h"

#include <cstring>
#include <string>

namespace platform::registry {
namespace {

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

class KeyObject : public KernelObject {
public:
    KeyObject(Root root, std::string path, REGSAM access)
        : root(root), path(std::move(path)), access(access) {}
    const Root root;
    const std::string path;
    const REGSAM access;
};

// The key behind a handle: a predefined root (all access) or an open key.
struct Target {
    Root root = Root::LocalMachine;
    std::string path;
    REGSAM access = 0;
};

REGSAM map_access(REGSAM access) {
    REGSAM mapped = access & 0x000F003Fu;
    if (access & kGenericRead) {
        mapped |= KEY_READ;
    }
    if (access & kGenericWrite) {
        mapped |= KEY_WRITE;
    }
    if (access & (kGenericAll | kMaximumAllowed)) {
        mapped |= KEY_ALL_ACCESS;
    }
    return mapped;
}

LONG target_of(HKEY key, Target& out) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) {
        out = Target{key == HKEY_LOCAL_MACHINE ? Root::LocalMachine : Root::CurrentUser, "",
                     KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    const auto object = lookup_handle_as<KeyObject>(reinterpret_cast<HANDLE>(key));
    if (!object) {
        return ERROR_INVALID_HANDLE;
    }
    out = Target{object->root, object->path, object->access};
    return ERROR_SUCCESS;
}

// target_of, and the access right the call needs.
LONG target_with(HKEY key, REGSAM needed, Target& out) {
    const LONG r = target_of(key, out);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    return (out.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string join(const std::string& base, const char* subkey) {
    if (subkey == nullptr || *subkey == '\0') {
        return base;
    }
    return base.empty() ? std::string(subkey) : base + '\\' + subkey;
}

// target_of with `subkey` joined to the key's path.
LONG target_under(HKEY key, LPCSTR subkey, Target& out) {
    const LONG r = target_of(key, out);
    if (r == ERROR_SUCCESS) {
        out.path = join(out.path, subkey);
    }
    return r;
}

HKEY new_handle(Root root, std::string path, REGSAM access) {
    return reinterpret_cast<HKEY>(
        make_handle(std::make_shared<KeyObject>(root, std::move(path), map_access(access))));
}

// Copies `data` into a caller's buffer of `*size` bytes, the Reg*ValueEx way.
LONG copy_data(const std::vector<BYTE>& data, LPBYTE buffer, LPDWORD size) {
    if (buffer != nullptr && size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (size == nullptr) {
        return ERROR_SUCCESS;
    }
    const DWORD room = *size;
    *size = DWORD(data.size());
    if (buffer == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < data.size()) {
        return ERROR_MORE_DATA;
    }
    if (!data.empty()) {
        std::memcpy(buffer, data.data(), data.size());
    }
    return ERROR_SUCCESS;
}

// A value's type and data into the caller's places.
LONG hand_out(const Value& v, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (type) {
        *type = v.type;
    }
    return copy_data(v.data, data, size);
}

} // namespace
} // namespace platform::registry

namespace reg = platform::registry;

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    reg::Target t;
    LONG r = reg::target_under(key, subkey, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    r = reg::open_key(t.root, t.path);
    if (r == ERROR_SUCCESS) {
        *result = reg::new_handle(t.root, std::move(t.path), access);
    }
    return r;
}

LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD reserved, LPSTR key_class, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                            LPDWORD disposition) {
    if (result == nullptr || subkey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    reg::Target t;
    LONG r = reg::target_under(key, subkey, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    bool created = false;
    r = reg::create_key(t.root, t.path, &created);
    if (r == ERROR_SUCCESS) {
        *result = reg::new_handle(t.root, std::move(t.path), access);
        if (disposition) {
            *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        }
    }
    return r;
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) {
        return ERROR_SUCCESS;
    }
    const auto handle = reinterpret_cast<HANDLE>(key);
    if (!platform::lookup_handle_as<reg::KeyObject>(handle)) {
        return ERROR_INVALID_HANDLE;
    }
    const DWORD saved = GetLastError(); // the registry calls leave the last error alone
    platform::close_handle(handle);
    SetLastError(saved);
    return ERROR_SUCCESS;
}

LONG WINAPI RegFlushKey(HKEY key) {
    reg::Target t;
    const LONG r = reg::target_of(key, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (!t.path.empty() && reg::open_key(t.root, t.path) != ERROR_SUCCESS) {
        return ERROR_KEY_DELETED;
    }
    return reg::flush(t.root);
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subkey) {
    if (subkey == nullptr || *subkey == '\0') {
        return ERROR_INVALID_PARAMETER;
    }
    reg::Target t;
    const LONG r = reg::target_under(key, subkey, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    return reg::delete_key(t.root, t.path);
}

LONG WINAPI SHDeleteKeyA(HKEY key, LPCSTR subkey) {
    if (subkey == nullptr || *subkey == '\0') {
        return ERROR_INVALID_PARAMETER;
    }
    reg::Target t;
    const LONG r = reg::target_under(key, subkey, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    return reg::delete_tree(t.root, t.path);
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size) {
    reg::Target t;
    LONG r = reg::target_with(key, KEY_QUERY_VALUE, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (data != nullptr && size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    reg::Value v;
    r = reg::query_value(t.root, t.path, name ? name : "", v);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    return reg::hand_out(v, type, data, size);
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
    reg::Target t;
    const LONG r = reg::target_with(key, KEY_SET_VALUE, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (reserved != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (data == nullptr && size != 0) {
        return ERROR_NOACCESS;
    }
    return reg::set_value(t.root, t.path, name ? name : "", type, data, size);
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR name) {
    reg::Target t;
    const LONG r = reg::target_with(key, KEY_SET_VALUE, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    return reg::delete_value(t.root, t.path, name ? name : "");
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size) {
    reg::Target t;
    LONG r = reg::target_with(key, KEY_ENUMERATE_SUB_KEYS, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    std::string found;
    r = reg::enum_key(t.root, t.path, index, found);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (name == nullptr || size <= found.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, found.c_str(), found.size() + 1);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                          LPDWORD type, LPBYTE data, LPDWORD data_size) {
    if (name == nullptr || name_size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    reg::Target t;
    LONG r = reg::target_with(key, KEY_QUERY_VALUE, t);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (data != nullptr && data_size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    reg::Value v;
    r = reg::enum_value(t.root, t.path, index, v);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (*name_size <= v.name.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, v.name.c_str(), v.name.size() + 1);
    *name_size = DWORD(v.name.size());
    return reg::hand_out(v, type, data, data_size);
}
}
