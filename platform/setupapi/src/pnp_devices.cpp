// Device records of the machine's PCI functions, kept in the registry as Plug and Play keeps
// its device tree.
#include "platform/pnp_devices.h"

#include "machine/machine.h"
#include "platform/paths.h"
#include "platform/registry_store.h"
#include "win32/errors.h"
#include "win32/registry.h"

#include "pnp_internal.h"

#include <cstdio>
#include <mutex>
#include <set>

namespace platform::pnp {
namespace {

using registry::Root;

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

struct ClassEntry {
    unsigned base_class;
    const char* name;
    const char* guid;
};
// Setup classes by PCI base class; the last entry takes every other class.
constexpr ClassEntry kClasses[] = {
    {0x04, "MEDIA", "{4D36E96C-E325-11CE-BFC1-08002BE10318}"},
    {0x06, "System", "{4D36E97D-E325-11CE-BFC1-08002BE10318}"},
    {0x00, "Unknown", "{4D36E97E-E325-11CE-BFC1-08002BE10318}"},
};

LONG set_string(const std::string& key, const char* name, const std::string& text) {
    if (text.empty()) {
        return ERROR_SUCCESS;
    }
    return registry::set_value(Root::LocalMachine, key, name, REG_SZ, text.c_str(),
                               text.size() + 1);
}

LONG set_multi(const std::string& key, const char* name, const std::vector<std::string>& list) {
    if (list.empty()) {
        return ERROR_SUCCESS;
    }
    std::string data;
    for (const std::string& s : list) {
        data += s;
        data += '\0';
    }
    data += '\0';
    return registry::set_value(Root::LocalMachine, key, name, REG_MULTI_SZ, data.data(),
                               data.size());
}

std::mutex enumerated_mutex;
std::set<std::string> enumerated_roots; // system roots whose bus this process enumerated

} // namespace

std::string add_device_record(const DeviceRecord& r) {
    const std::string key = std::string(kEnumPci) + "\\" + r.device_id + "\\" + r.instance;
    registry::create_key(Root::LocalMachine, key);
    set_multi(key, "HardwareID", r.hardware_ids);
    set_multi(key, "CompatibleIDs", r.compatible_ids);
    set_string(key, "DeviceDesc", r.description);
    set_string(key, "Service", r.service);
    set_string(key, "Class", r.class_name);
    set_string(key, "ClassGUID", r.class_guid);
    if (r.bus >= 0) {
        char where[64];
        std::snprintf(where, sizeof where, "PCI bus %d, device %d, function %d", r.bus, r.device,
                      r.function);
        set_string(key, "LocationInformation", where);
    }
    return key;
}

std::vector<std::string> device_record_keys() {
    std::vector<std::string> keys;
    std::string id;
    for (DWORD i = 0; registry::enum_key(Root::LocalMachine, kEnumPci, i, id) == ERROR_SUCCESS;
         ++i) {
        const std::string id_key = std::string(kEnumPci) + "\\" + id;
        std::string instance;
        for (DWORD j = 0;
             registry::enum_key(Root::LocalMachine, id_key, j, instance) == ERROR_SUCCESS; ++j) {
            keys.push_back(id_key + "\\" + instance);
        }
    }
    return keys;
}

DeviceRecord record_for_function(unsigned bus, unsigned device, unsigned function) {
    machine::Machine& m = machine::the_machine();
    unsigned char config[64];
    if (m.pci_read(bus, device, function, 0, config, sizeof config) != sizeof config) {
        return {};
    }
    const unsigned vendor = config[0] | (config[1] << 8);
    if (vendor == 0xFFFF) {
        return {};
    }
    const unsigned device_id = config[2] | (config[3] << 8);
    const unsigned revision = config[8];
    const unsigned class_code = config[9] | (config[10] << 8) | (config[11] << 16);
    const unsigned subsystem =
        (config[0x2C] | (config[0x2D] << 8)) | ((config[0x2E] | (config[0x2F] << 8)) << 16);

    const std::string ven_dev = "VEN_" + hex(vendor, 4) + "&DEV_" + hex(device_id, 4);
    const std::string subsys = "&SUBSYS_" + hex((subsystem >> 16) | (subsystem << 16), 8);
    const std::string rev = "&REV_" + hex(revision, 2);
    const std::string cc6 = "CC_" + hex(class_code >> 16, 2) + hex((class_code >> 8) & 0xFF, 2) +
                            hex(class_code & 0xFF, 2);
    const std::string cc4 = cc6.substr(0, 7);
    const std::string pci = "PCI\\";

    DeviceRecord r;
    r.device_id = ven_dev + subsys + rev;
    r.instance = "3&61AAA01&0&" + hex((device << 3) | function, 2);
    r.hardware_ids = {pci + ven_dev + subsys + rev, pci + ven_dev + subsys, pci + ven_dev + rev,
                      pci + ven_dev};
    r.compatible_ids = {pci + ven_dev + rev,
                        pci + ven_dev,
                        pci + "VEN_" + hex(vendor, 4) + "&" + cc6,
                        pci + "VEN_" + hex(vendor, 4) + "&" + cc4,
                        pci + "VEN_" + hex(vendor, 4),
                        pci + cc6,
                        pci + cc4};
    r.description = "PCI device";
    const unsigned base_class = class_code >> 16;
    const ClassEntry* entry = &kClasses[std::size(kClasses) - 1];
    for (const ClassEntry& c : kClasses) {
        if (c.base_class == base_class) {
            entry = &c;
            break;
        }
    }
    r.class_name = entry->name;
    r.class_guid = entry->guid;
    r.bus = static_cast<int>(bus);
    r.device = static_cast<int>(device);
    r.function = static_cast<int>(function);
    return r;
}

void enumerate_bus() {
    machine::Machine& m = machine::the_machine();
    for (unsigned device = 0; device < 32; ++device) {
        unsigned char header = 0;
        unsigned short vendor = 0xFFFF;
        if (m.pci_read(0, device, 0, 0, &vendor, 2) != 2 || vendor == 0xFFFF) {
            continue;
        }
        m.pci_read(0, device, 0, 0x0E, &header, 1);
        const unsigned functions = (header & 0x80) != 0 ? 8 : 1;
        for (unsigned function = 0; function < functions; ++function) {
            const DeviceRecord r = record_for_function(0, device, function);
            if (r.device_id.empty()) {
                continue;
            }
            const std::string key = std::string(kEnumPci) + "\\" + r.device_id + "\\" + r.instance;
            if (registry::open_key(Root::LocalMachine, key) != ERROR_SUCCESS) {
                add_device_record(r);
            }
        }
    }
    std::lock_guard lock(enumerated_mutex);
    enumerated_roots.insert(platform::system_root().string());
}

void enumerate_bus_once() {
    {
        std::lock_guard lock(enumerated_mutex);
        if (enumerated_roots.count(platform::system_root().string()) != 0) {
            return;
        }
    }
    enumerate_bus();
}

} // namespace platform::pnp
