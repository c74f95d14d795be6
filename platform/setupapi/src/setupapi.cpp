// Device information sets over the device records under Enum\PCI.
#include "win32/setupapi.h"

#include "machine/machine.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/pnp_devices.h"
#include "platform/registry_store.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include "pnp_internal.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

using platform::registry::Root;

struct Member {
    std::string key; // below HKLM
    GUID class_guid{};
};

class DeviceSet : public platform::KernelObject {
public:
    std::vector<Member> members;
};

std::optional<GUID> parse_guid(const std::string& text) {
    unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
    int used = 0;
    if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &b[0],
                    &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &used) != 11 ||
        used != 38 || text.size() != 38) {
        return std::nullopt;
    }
    GUID g{};
    g.Data1 = d1;
    g.Data2 = static_cast<WORD>(d2);
    g.Data3 = static_cast<WORD>(d3);
    for (int i = 0; i < 8; ++i) {
        g.Data4[i] = static_cast<BYTE>(b[i]);
    }
    return g;
}

bool same_guid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, 8) == 0;
}

std::string string_value(const std::string& key, const char* name) {
    platform::registry::Value v;
    if (platform::registry::query_value(Root::LocalMachine, key, name, v) != ERROR_SUCCESS) {
        return {};
    }
    std::string s(v.data.begin(), v.data.end());
    while (!s.empty() && s.back() == '\0') {
        s.pop_back();
    }
    return s;
}

// "VEN_xxxx&DEV_yyyy..." of the record's device id, as numbers.
bool parse_ids(const std::string& key, unsigned& vendor, unsigned& device) {
    const std::size_t slash = key.rfind('\\');
    if (slash == std::string::npos || slash == 0) {
        return false;
    }
    const std::size_t start = key.rfind('\\', slash - 1);
    if (start == std::string::npos) {
        return false;
    }
    const std::string id = key.substr(start + 1, slash - start - 1);
    auto hex4 = [&](std::size_t at, unsigned& out) {
        const char* first = id.data() + at;
        const auto [end, ec] = std::from_chars(first, first + 4, out, 16);
        return ec == std::errc() && end == first + 4;
    };
    return id.size() >= 17 && platform::iequals(id.substr(0, 4), "VEN_") &&
           platform::iequals(id.substr(8, 5), "&DEV_") && hex4(4, vendor) && hex4(13, device);
}

// The hardware sits at the record's location now.
bool present(const std::string& key) {
    const std::string where = string_value(key, "LocationInformation");
    unsigned bus = 0, device = 0, function = 0;
    if (std::sscanf(where.c_str(), "PCI bus %u, device %u, function %u", &bus, &device,
                    &function) != 3 ||
        device > 31 || function > 7) {
        return false;
    }
    unsigned vendor = 0, device_id = 0;
    if (!parse_ids(key, vendor, device_id)) {
        return false;
    }
    unsigned char id[4];
    if (machine::the_machine().pci_read(bus, device, function, 0, id, 4) != 4) {
        return false;
    }
    return (id[0] | (unsigned{id[1]} << 8)) == vendor &&
           (id[2] | (unsigned{id[3]} << 8)) == device_id;
}

struct PropertyEntry {
    DWORD property;
    const char* value;
};
constexpr PropertyEntry kProperties[] = {
    {SPDRP_DEVICEDESC, "DeviceDesc"},
    {SPDRP_HARDWAREID, "HardwareID"},
    {SPDRP_COMPATIBLEIDS, "CompatibleIDs"},
    {SPDRP_SERVICE, "Service"},
    {SPDRP_CLASS, "Class"},
    {SPDRP_CLASSGUID, "ClassGUID"},
    {SPDRP_DRIVER, "Driver"},
    {SPDRP_MFG, "Mfg"},
    {SPDRP_LOCATION_INFORMATION, "LocationInformation"},
};

// The set and member a SP_DEVINFO_DATA names; sets the last error when there is none.
const Member* member_of(HDEVINFO set, PSP_DEVINFO_DATA data, std::shared_ptr<DeviceSet>& holder) {
    holder = platform::lookup_handle_as<DeviceSet>(set);
    if (!holder) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return nullptr;
    }
    if (data->DevInst == 0 || data->DevInst > holder->members.size()) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return nullptr;
    }
    const Member& m = holder->members[data->DevInst - 1];
    if (platform::registry::open_key(Root::LocalMachine, m.key) != ERROR_SUCCESS) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return nullptr;
    }
    return &m;
}

LONG delete_tree(const std::string& path) {
    return platform::registry::delete_tree(Root::LocalMachine, path);
}

} // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND, DWORD flags) {
    if ((flags & DIGCF_DEVICEINTERFACE) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    const bool all_classes = (flags & DIGCF_ALLCLASSES) != 0;
    if (!all_classes && class_guid == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    platform::pnp::enumerate_bus_once();
    auto set = std::make_shared<DeviceSet>();
    const bool any_enumerator = enumerator == nullptr || enumerator[0] == '\0';
    if (any_enumerator || platform::iequals(enumerator, "PCI")) {
        for (const std::string& key : platform::pnp::device_record_keys()) {
            Member m;
            m.key = key;
            if (auto g = parse_guid(string_value(key, "ClassGUID"))) {
                m.class_guid = *g;
            }
            if (!all_classes && !same_guid(m.class_guid, *class_guid)) {
                continue;
            }
            if ((flags & DIGCF_PRESENT) != 0 && !present(key)) {
                continue;
            }
            set->members.push_back(m);
        }
    }
    return platform::make_handle(set);
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    const auto s = platform::lookup_handle_as<DeviceSet>(set);
    if (!s) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (index >= s->members.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->ClassGuid = s->members[index].class_guid;
    data->DevInst = index + 1;
    data->Reserved = 0;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA data, DWORD property,
                                              PDWORD type, PBYTE buffer, DWORD size,
                                              PDWORD required) {
    std::shared_ptr<DeviceSet> holder;
    const Member* m = member_of(set, data, holder);
    if (m == nullptr) {
        return FALSE;
    }
    const char* value_name = nullptr;
    for (const PropertyEntry& p : kProperties) {
        if (p.property == property) {
            value_name = p.value;
        }
    }
    if (value_name == nullptr) {
        SetLastError(ERROR_INVALID_REG_PROPERTY);
        return FALSE;
    }
    platform::registry::Value v;
    if (platform::registry::query_value(Root::LocalMachine, m->key, value_name, v) !=
        ERROR_SUCCESS) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const DWORD length = static_cast<DWORD>(v.data.size());
    if (required != nullptr) {
        *required = length;
    }
    if (type != nullptr) {
        *type = v.type;
    }
    if (buffer == nullptr && size != 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (size < length) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (length > 0) {
        std::memcpy(buffer, v.data.data(), length);
    }
    return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA data) {
    std::shared_ptr<DeviceSet> holder;
    const Member* m = member_of(set, data, holder);
    if (m == nullptr) {
        return FALSE;
    }
    if (function != DIF_REMOVE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    const LONG e = delete_tree(m->key);
    if (e != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(e));
        return FALSE;
    }
    // The device id key goes with its last instance.
    const std::string id_key = m->key.substr(0, m->key.rfind('\\'));
    std::string any;
    if (platform::registry::enum_key(Root::LocalMachine, id_key, 0, any) != ERROR_SUCCESS) {
        platform::registry::delete_key(Root::LocalMachine, id_key);
    }
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    if (!platform::lookup_handle_as<DeviceSet>(set)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return platform::close_handle(set) ? TRUE : FALSE;
}
}
