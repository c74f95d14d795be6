// Kernel registry calls over the platform registry, with "\Registry\Machine\..." names.
#include "platform/registry_store.h"
#include "win32/errors.h"

#include "nt/zw.h"

#include "kernel.h"
#include "objects.h"

#include <cstring>
#include <memory>

#define STATUS_OBJECT_PATH_SYNTAX_BAD TOLM_NTSTATUS(0xC000003B)
#define STATUS_KEY_DELETED TOLM_NTSTATUS(0xC000017C)
#define STATUS_CANNOT_DELETE TOLM_NTSTATUS(0xC0000121)

namespace tolm_nt {
namespace {

using platform::registry::Root;

class KeyObject : public KernelHandleObject {
public:
    KeyObject(Root r, std::string p) : root(r), path(std::move(p)) {}
    Root root;
    std::string path;
};

NTSTATUS status_of(LONG error) {
    switch (error) {
    case ERROR_SUCCESS:
        return STATUS_SUCCESS;
    case ERROR_FILE_NOT_FOUND:
        return STATUS_OBJECT_NAME_NOT_FOUND;
    case ERROR_KEY_DELETED:
        return STATUS_KEY_DELETED;
    case ERROR_NO_MORE_ITEMS:
        return STATUS_NO_MORE_ENTRIES;
    case ERROR_ACCESS_DENIED:
        return STATUS_CANNOT_DELETE;
    case ERROR_INVALID_PARAMETER:
        return STATUS_INVALID_PARAMETER;
    default:
        return STATUS_UNSUCCESSFUL;
    }
}

// The hive and path an object name stands for, absolute or below an open key.
bool resolve(POBJECT_ATTRIBUTES attributes, Root& root, std::string& path, NTSTATUS& status) {
    if (attributes == nullptr || attributes->ObjectName == nullptr) {
        status = STATUS_OBJECT_NAME_INVALID;
        return false;
    }
    std::string name = narrow(attributes->ObjectName);
    if (attributes->RootDirectory != nullptr) {
        const auto parent = platform::lookup_handle_as<KeyObject>(attributes->RootDirectory);
        if (!parent) {
            status = STATUS_INVALID_HANDLE;
            return false;
        }
        if (!name.empty() && name.front() == '\\') {
            status = STATUS_OBJECT_PATH_SYNTAX_BAD;
            return false;
        }
        root = parent->root;
        path = parent->path.empty() ? name
               : name.empty()       ? parent->path
                                    : parent->path + "\\" + name;
        return true;
    }
    const auto where = platform::registry::from_kernel_path(name);
    if (!where) {
        status = STATUS_OBJECT_NAME_NOT_FOUND;
        return false;
    }
    root = where->first;
    path = where->second;
    return true;
}

bool is_string(ULONG type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Stored (narrow) string data as the kernel sees it: UTF-16 with its terminators.
std::vector<BYTE> kernel_data(const platform::registry::Value& v) {
    if (!is_string(v.type)) {
        return v.data;
    }
    std::string text(v.data.begin(), v.data.end());
    const bool multi = v.type == REG_MULTI_SZ;
    if (text.empty() || text.back() != '\0') {
        text.push_back('\0');
    }
    if (multi && (text.size() < 2 || text[text.size() - 2] != '\0')) {
        text.push_back('\0');
    }
    const std::u16string wide = widen(text);
    std::vector<BYTE> out(wide.size() * sizeof(WCHAR));
    std::memcpy(out.data(), wide.data(), out.size());
    return out;
}

void put_name(WCHAR* where, const std::string& name) {
    const std::u16string w = widen(name);
    std::memcpy(where, w.data(), w.size() * sizeof(WCHAR));
}

// Copies `image` into the caller's buffer with the kernel's length rules.
NTSTATUS answer(const std::vector<BYTE>& image, std::size_t fixed, PVOID buffer, ULONG length,
                PULONG result) {
    if (result != nullptr) {
        *result = static_cast<ULONG>(image.size());
    }
    if (length < fixed) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, image.data(), length < image.size() ? length : image.size());
    return length < image.size() ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS;
}

} // namespace
} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

NTSTATUS NTAPI ZwCreateKey(PHANDLE handle, ACCESS_MASK, POBJECT_ATTRIBUTES attributes, ULONG,
                           PUNICODE_STRING, ULONG, PULONG disposition) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwCreateKey");
    Root root;
    std::string path;
    NTSTATUS status;
    if (!resolve(attributes, root, path, status)) {
        return status;
    }
    // Creates one level: the parent must exist.
    const std::size_t cut = path.rfind('\\');
    if (cut != std::string::npos &&
        platform::registry::open_key(root, path.substr(0, cut)) != ERROR_SUCCESS) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    bool created = false;
    const LONG e = platform::registry::create_key(root, path, &created);
    if (e != ERROR_SUCCESS) {
        return status_of(e);
    }
    if (disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *handle = platform::make_handle(std::make_shared<KeyObject>(root, path));
    note_handle(*handle, module_of(__builtin_return_address(0)));
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI ZwOpenKey(PHANDLE handle, ACCESS_MASK, POBJECT_ATTRIBUTES attributes) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwOpenKey");
    Root root;
    std::string path;
    NTSTATUS status;
    if (!resolve(attributes, root, path, status)) {
        return status;
    }
    const LONG e = platform::registry::open_key(root, path);
    if (e != ERROR_SUCCESS) {
        return status_of(e);
    }
    *handle = platform::make_handle(std::make_shared<KeyObject>(root, path));
    note_handle(*handle, module_of(__builtin_return_address(0)));
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI ZwQueryValueKey(HANDLE handle, PUNICODE_STRING value_name,
                               KEY_VALUE_INFORMATION_CLASS kind, PVOID buffer, ULONG length,
                               PULONG result) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwQueryValueKey");
    const auto key = platform::lookup_handle_as<KeyObject>(handle);
    if (!key) {
        return STATUS_INVALID_HANDLE;
    }
    const std::string name = narrow(value_name);
    platform::registry::Value v;
    const LONG e = platform::registry::query_value(key->root, key->path, name, v);
    if (e != ERROR_SUCCESS) {
        return status_of(e);
    }
    const std::vector<BYTE> data = kernel_data(v);
    std::vector<BYTE> image;
    std::size_t fixed = 0;
    switch (kind) {
    case KeyValuePartialInformation: {
        fixed = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
        image.resize(fixed + data.size());
        auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(image.data());
        info->TitleIndex = 0;
        info->Type = v.type;
        info->DataLength = static_cast<ULONG>(data.size());
        std::memcpy(image.data() + fixed, data.data(), data.size());
        break;
    }
    case KeyValueFullInformation: {
        fixed = offsetof(KEY_VALUE_FULL_INFORMATION, Name);
        const std::size_t name_bytes = name.size() * sizeof(WCHAR);
        const std::size_t data_offset = (fixed + name_bytes + 3) & ~std::size_t(3);
        image.resize(data_offset + data.size());
        auto* info = reinterpret_cast<PKEY_VALUE_FULL_INFORMATION>(image.data());
        info->TitleIndex = 0;
        info->Type = v.type;
        info->DataOffset = static_cast<ULONG>(data_offset);
        info->DataLength = static_cast<ULONG>(data.size());
        info->NameLength = static_cast<ULONG>(name_bytes);
        put_name(reinterpret_cast<WCHAR*>(image.data() + fixed), name);
        std::memcpy(image.data() + data_offset, data.data(), data.size());
        break;
    }
    case KeyValueBasicInformation: {
        fixed = offsetof(KEY_VALUE_BASIC_INFORMATION, Name);
        image.resize(fixed + name.size() * sizeof(WCHAR));
        auto* info = reinterpret_cast<PKEY_VALUE_BASIC_INFORMATION>(image.data());
        info->TitleIndex = 0;
        info->Type = v.type;
        info->NameLength = static_cast<ULONG>(name.size() * sizeof(WCHAR));
        put_name(reinterpret_cast<WCHAR*>(image.data() + fixed), name);
        break;
    }
    default:
        return STATUS_INVALID_PARAMETER;
    }
    return answer(image, fixed, buffer, length, result);
}

NTSTATUS NTAPI ZwSetValueKey(HANDLE handle, PUNICODE_STRING value_name, ULONG, ULONG type,
                             PVOID data, ULONG size) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwSetValueKey");
    const auto key = platform::lookup_handle_as<KeyObject>(handle);
    if (!key) {
        return STATUS_INVALID_HANDLE;
    }
    if (size != 0 && data == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    const std::string name = narrow(value_name);
    LONG e;
    if (is_string(type)) {
        // Kept narrow in the store, as the user-mode calls write strings.
        std::string text = narrow(static_cast<const WCHAR*>(data), size / sizeof(WCHAR));
        while (type != REG_MULTI_SZ && !text.empty() && text.back() == '\0') {
            text.pop_back();
        }
        if (type != REG_MULTI_SZ) {
            text.push_back('\0');
        }
        e = platform::registry::set_value(key->root, key->path, name, type, text.data(),
                                          text.size());
    } else {
        e = platform::registry::set_value(key->root, key->path, name, type, data, size);
    }
    return status_of(e);
}

NTSTATUS NTAPI ZwEnumerateKey(HANDLE handle, ULONG index, KEY_INFORMATION_CLASS kind, PVOID buffer,
                              ULONG length, PULONG result) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwEnumerateKey");
    const auto key = platform::lookup_handle_as<KeyObject>(handle);
    if (!key) {
        return STATUS_INVALID_HANDLE;
    }
    std::string name;
    const LONG e = platform::registry::enum_key(key->root, key->path, index, name);
    if (e != ERROR_SUCCESS) {
        return status_of(e);
    }
    const std::size_t name_bytes = name.size() * sizeof(WCHAR);
    std::vector<BYTE> image;
    std::size_t fixed = 0;
    switch (kind) {
    case KeyBasicInformation: {
        fixed = offsetof(KEY_BASIC_INFORMATION, Name);
        image.resize(fixed + name_bytes);
        auto* info = reinterpret_cast<PKEY_BASIC_INFORMATION>(image.data());
        info->NameLength = static_cast<ULONG>(name_bytes);
        put_name(reinterpret_cast<WCHAR*>(image.data() + fixed), name);
        break;
    }
    case KeyNodeInformation: {
        fixed = offsetof(KEY_NODE_INFORMATION, Name);
        image.resize(fixed + name_bytes);
        auto* info = reinterpret_cast<PKEY_NODE_INFORMATION>(image.data());
        info->ClassOffset = 0xFFFFFFFF;
        info->ClassLength = 0;
        info->NameLength = static_cast<ULONG>(name_bytes);
        put_name(reinterpret_cast<WCHAR*>(image.data() + fixed), name);
        break;
    }
    case KeyFullInformation: {
        fixed = offsetof(KEY_FULL_INFORMATION, Class);
        platform::registry::KeyInfo ki;
        const std::string sub = key->path.empty() ? name : key->path + "\\" + name;
        const LONG ie = platform::registry::key_info(key->root, sub, ki);
        if (ie != ERROR_SUCCESS) {
            return status_of(ie);
        }
        image.resize(fixed);
        auto* info = reinterpret_cast<PKEY_FULL_INFORMATION>(image.data());
        info->ClassOffset = 0xFFFFFFFF;
        info->SubKeys = ki.subkeys;
        info->MaxNameLen = ki.max_subkey_name * sizeof(WCHAR);
        info->Values = ki.values;
        info->MaxValueNameLen = ki.max_value_name * sizeof(WCHAR);
        info->MaxValueDataLen = ki.max_value_data;
        break;
    }
    default:
        return STATUS_INVALID_PARAMETER;
    }
    return answer(image, fixed, buffer, length, result);
}

NTSTATUS NTAPI ZwDeleteKey(HANDLE handle) {
    require_irql_at_most(PASSIVE_LEVEL, "ZwDeleteKey");
    const auto key = platform::lookup_handle_as<KeyObject>(handle);
    if (!key) {
        return STATUS_INVALID_HANDLE;
    }
    return status_of(platform::registry::delete_key(key->root, key->path));
}

NTSTATUS NTAPI ZwFlushKey(HANDLE handle) {
    const auto key = platform::lookup_handle_as<KeyObject>(handle);
    if (!key) {
        return STATUS_INVALID_HANDLE;
    }
    return status_of(platform::registry::flush(key->root));
}

} // extern "C"
