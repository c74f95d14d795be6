// The Plug and Play device records behind the SetupAPI stand-in, for tests and tools.
//
// A record is the registry key HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\PCI\<device
// id>\<instance> with the values "HardwareID" and "CompatibleIDs" (REG_MULTI_SZ), "DeviceDesc",
// "Service", "Class", "ClassGUID", "Driver", "Mfg" (REG_SZ) and "LocationInformation" ("PCI bus
// %u, device %u, function %u"). A record is present when the machine has a function at its
// location whose vendor and device match the "VEN_xxxx&DEV_yyyy" of its device id.
//
// The bus is enumerated once per process and system root, at the first SetupDiGetClassDevsA:
// every PCI function of the machine that has no record yet gets one (hardware IDs with
// subsystem and revision, then with subsystem, then with the class code), as a boot of the
// system would do. Removed records thus come back in the next process.
#pragma once

#include <string>
#include <vector>

namespace platform::pnp {

struct DeviceRecord {
    std::string device_id; // e.g. "VEN_109E&DEV_036E&SUBSYS_00000000&REV_11"
    std::string instance;  // e.g. "3&61AAA01&0&40"
    std::vector<std::string> hardware_ids;
    std::vector<std::string> compatible_ids;
    std::string description;
    std::string service; // the driver that claimed it, empty for none
    std::string class_name;
    std::string class_guid; // "{...}"
    // -1: no location information.
    int bus = -1;
    int device = 0;
    int function = 0;
};

// Writes a record (replacing one of the same key); answers its key path below HKLM.
std::string add_device_record(const DeviceRecord& record);
// Key paths (below HKLM) of every record under Enum\PCI, in name order.
std::vector<std::string> device_record_keys();
// Enumerates the machine's PCI bus now (also when it was done already in this process).
void enumerate_bus();
// The record an enumeration makes for the function at (bus, device, function), or none (an
// empty device id) when the machine has nothing there.
DeviceRecord record_for_function(unsigned bus, unsigned device, unsigned function);

} // namespace platform::pnp
