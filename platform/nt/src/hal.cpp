// The HAL over the machine's PCI buses: configuration data, slot resources, address translation
// and interrupt vectors.
#include "nt/hal.h"

#include "kernel.h"
#include "pool.h"
#include "resource_list.h"

#include "platform/registry_store.h"
#include "win32/errors.h"

#include "machine/machine.h"

#include <cstring>
#include <map>
#include <mutex>
#include <optional>

namespace tolm_nt {
namespace {

constexpr ULONG kVectorBase = 0x30; // system vector = PCI interrupt line + base
constexpr ULONG kMaxLine = 15;

bool split_slot(ULONG slot, unsigned& device, unsigned& function) {
    PCI_SLOT_NUMBER s;
    s.u.AsULONG = slot;
    device = s.u.bits.DeviceNumber;
    function = s.u.bits.FunctionNumber;
    return true;
}

// Splits the slot, clips the length to the configuration space and reads the vendor id; false
// for a bus that does not exist or an empty request.
bool locate(ULONG bus, ULONG slot, ULONG offset, ULONG& length, unsigned& device,
            unsigned& function, USHORT& vendor) {
    if (bus > 255 || offset >= 256 || length == 0) {
        return false;
    }
    split_slot(slot, device, function);
    if (offset + length > 256) {
        length = 256 - offset;
    }
    vendor = 0xFFFF;
    return hw().pci_read(bus, device, function, 0, &vendor, 2) != 0;
}

ULONG read_config(ULONG bus, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
    unsigned device, function;
    USHORT vendor;
    if (!locate(bus, slot, offset, length, device, function, vendor)) {
        return 0;
    }
    if (vendor == PCI_INVALID_VENDORID) {
        // An empty slot answers the invalid vendor id and nothing else.
        if (offset == 0 && length >= 2) {
            std::memcpy(buffer, &vendor, 2);
            return 2;
        }
        return 0;
    }
    return hw().pci_read(bus, device, function, offset, buffer, length);
}

ULONG write_config(ULONG bus, ULONG slot, PVOID buffer, ULONG offset, ULONG length) {
    unsigned device, function;
    USHORT vendor;
    if (!locate(bus, slot, offset, length, device, function, vendor) ||
        vendor == PCI_INVALID_VENDORID) {
        return 0;
    }
    // Naturally aligned accesses of 4, 2 or 1 bytes, as a configuration cycle would go.
    const auto* bytes = static_cast<const UCHAR*>(buffer);
    ULONG done = 0;
    while (done < length) {
        const ULONG at = offset + done;
        ULONG width = 1;
        if (at % 4 == 0 && length - done >= 4) {
            width = 4;
        } else if (at % 2 == 0 && length - done >= 2) {
            width = 2;
        }
        hw().pci_write(bus, device, function, at, bytes + done, width);
        done += width;
    }
    return done;
}

struct Claim {
    PDEVICE_OBJECT device;
    PDRIVER_OBJECT driver;
};
std::mutex claim_mutex;
std::map<std::pair<ULONG, ULONG>, Claim>& claims() {
    static std::map<std::pair<ULONG, ULONG>, Claim> c;
    return c;
}

} // namespace

std::size_t release_claims_of(PDRIVER_OBJECT driver) {
    std::lock_guard lock(claim_mutex);
    std::size_t n = 0;
    for (auto it = claims().begin(); it != claims().end();) {
        if (it->second.driver == driver) {
            it = claims().erase(it);
            ++n;
        } else {
            ++it;
        }
    }
    return n;
}

} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

ULONG NTAPI HalGetBusDataByOffset(BUS_DATA_TYPE type, ULONG bus, ULONG slot, PVOID buffer,
                                  ULONG offset, ULONG length) {
    return type == PCIConfiguration ? read_config(bus, slot, buffer, offset, length) : 0;
}

ULONG NTAPI HalGetBusData(BUS_DATA_TYPE type, ULONG bus, ULONG slot, PVOID buffer, ULONG length) {
    return HalGetBusDataByOffset(type, bus, slot, buffer, 0, length);
}

ULONG NTAPI HalSetBusDataByOffset(BUS_DATA_TYPE type, ULONG bus, ULONG slot, PVOID buffer,
                                  ULONG offset, ULONG length) {
    return type == PCIConfiguration ? write_config(bus, slot, buffer, offset, length) : 0;
}

ULONG NTAPI HalSetBusData(BUS_DATA_TYPE type, ULONG bus, ULONG slot, PVOID buffer, ULONG length) {
    return HalSetBusDataByOffset(type, bus, slot, buffer, 0, length);
}

NTSTATUS NTAPI HalAssignSlotResources(PUNICODE_STRING registry_path, PUNICODE_STRING,
                                      PDRIVER_OBJECT driver, PDEVICE_OBJECT device,
                                      INTERFACE_TYPE bus_type, ULONG bus, ULONG slot,
                                      PCM_RESOURCE_LIST* resources) {
    require_irql_at_most(PASSIVE_LEVEL, "HalAssignSlotResources");
    *resources = nullptr;
    NTSTATUS injected;
    if (fault_fires(platform::nt::Fault::AssignSlotResources, injected)) {
        return injected;
    }
    if (bus_type != PCIBus) {
        return STATUS_INVALID_PARAMETER;
    }
    // The claim is recorded in the key the caller names; it must exist.
    std::optional<std::pair<platform::registry::Root, std::string>> key;
    if (registry_path != nullptr && registry_path->Length != 0) {
        key = platform::registry::from_kernel_path(narrow(registry_path));
        if (!key || platform::registry::open_key(key->first, key->second) != ERROR_SUCCESS) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
    }
    PCI_COMMON_CONFIG config;
    if (read_config(bus, slot, &config, 0, PCI_COMMON_HDR_LENGTH) != PCI_COMMON_HDR_LENGTH) {
        return STATUS_NO_SUCH_DEVICE;
    }
    {
        std::lock_guard lock(claim_mutex);
        const auto it = claims().find({bus, slot});
        if (it != claims().end() && it->second.device != device) {
            return STATUS_CONFLICTING_ADDRESSES;
        }
        claims()[{bus, slot}] = Claim{device, driver};
    }
    CM_PARTIAL_RESOURCE_DESCRIPTOR found[PCI_TYPE0_ADDRESSES + 1];
    ULONG count = 0;
    for (ULONG i = 0; i < PCI_TYPE0_ADDRESSES; ++i) {
        const ULONG offset = 0x10 + 4 * i;
        const ULONG bar = config.u.type0.BaseAddresses[i];
        ULONG probe = 0xFFFFFFFF;
        write_config(bus, slot, &probe, offset, 4);
        read_config(bus, slot, &probe, offset, 4);
        ULONG restore = bar;
        write_config(bus, slot, &restore, offset, 4);
        const bool io = (bar & 1) != 0;
        const ULONG mask = io ? ~ULONG(3) : ~ULONG(15);
        const ULONG size = ~(probe & mask) + 1;
        if ((probe & mask) == 0 || size == 0) {
            continue;
        }
        CM_PARTIAL_RESOURCE_DESCRIPTOR& d = found[count++];
        std::memset(&d, 0, sizeof d);
        d.Type = io ? CmResourceTypePort : CmResourceTypeMemory;
        d.ShareDisposition = CmResourceShareDeviceExclusive;
        d.Flags = io ? CM_RESOURCE_PORT_IO : CM_RESOURCE_MEMORY_READ_WRITE;
        d.u.Memory.Start.QuadPart = bar & mask;
        d.u.Memory.Length = size;
    }
    if (config.u.type0.InterruptPin != 0 && config.u.type0.InterruptLine != 0 &&
        config.u.type0.InterruptLine != 0xFF) {
        CM_PARTIAL_RESOURCE_DESCRIPTOR& d = found[count++];
        std::memset(&d, 0, sizeof d);
        d.Type = CmResourceTypeInterrupt;
        d.ShareDisposition = CmResourceShareShared;
        d.Flags = CM_RESOURCE_INTERRUPT_LEVEL_SENSITIVE;
        d.u.Interrupt.Level = config.u.type0.InterruptLine;
        d.u.Interrupt.Vector = config.u.type0.InterruptLine;
        d.u.Interrupt.Affinity = 1;
    }
    const std::size_t size = sizeof(CM_RESOURCE_LIST) +
                             (count > 1 ? count - 1 : 0) * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR);
    auto* list = static_cast<PCM_RESOURCE_LIST>(
        allocate_block(BlockKind::Pool, PagedPool, size, 0x206C6148 /* "Hal " */,
                       module_of(__builtin_return_address(0))));
    if (list == nullptr) {
        std::lock_guard lock(claim_mutex);
        claims().erase({bus, slot});
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    std::memset(list, 0, size);
    list->Count = 1;
    list->List[0].InterfaceType = PCIBus;
    list->List[0].BusNumber = bus;
    list->List[0].PartialResourceList.Version = 1;
    list->List[0].PartialResourceList.Revision = 1;
    list->List[0].PartialResourceList.Count = count;
    std::memcpy(list->List[0].PartialResourceList.PartialDescriptors, found,
                count * sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR));
    if (key) {
        const std::vector<UCHAR> stored = serialize_resource_list(*list);
        platform::registry::set_value(key->first, key->second, "AssignedResources",
                                      8 /* REG_RESOURCE_LIST */, stored.data(), stored.size());
    }
    *resources = list;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI IoReportResourceUsage(PUNICODE_STRING, PDRIVER_OBJECT driver,
                                     PCM_RESOURCE_LIST driver_list, ULONG, PDEVICE_OBJECT device,
                                     PCM_RESOURCE_LIST device_list, ULONG, BOOLEAN,
                                     PBOOLEAN conflict) {
    require_irql_at_most(PASSIVE_LEVEL, "IoReportResourceUsage");
    if (conflict != nullptr) {
        *conflict = FALSE;
    }
    const bool empty = (device_list == nullptr || device_list->Count == 0) &&
                       (driver_list == nullptr || driver_list->Count == 0);
    if (empty) { // releases the claims of the device (or of the driver)
        std::lock_guard lock(claim_mutex);
        for (auto it = claims().begin(); it != claims().end();) {
            const bool mine =
                device != nullptr ? it->second.device == device : it->second.driver == driver;
            it = mine ? claims().erase(it) : std::next(it);
        }
    }
    return STATUS_SUCCESS;
}

BOOLEAN NTAPI HalTranslateBusAddress(INTERFACE_TYPE type, ULONG bus, PHYSICAL_ADDRESS bus_address,
                                     PULONG address_space, PPHYSICAL_ADDRESS translated) {
    NTSTATUS ignored;
    if (fault_fires(platform::nt::Fault::TranslateBusAddress, ignored)) {
        return FALSE;
    }
    if ((type != PCIBus && type != Isa && type != Internal) || bus > 255 ||
        address_space == nullptr || translated == nullptr) {
        return FALSE;
    }
    *translated = bus_address; // the machine's buses map one to one
    return TRUE;
}

ULONG NTAPI HalGetInterruptVector(INTERFACE_TYPE type, ULONG, ULONG level, ULONG vector,
                                  PKIRQL irql_out, PKAFFINITY affinity) {
    NTSTATUS ignored;
    if (fault_fires(platform::nt::Fault::InterruptVector, ignored)) {
        return 0;
    }
    const ULONG line = type == PCIBus ? level : vector;
    if ((type != PCIBus && type != Isa && type != Internal) || line == 0 || line > kMaxLine) {
        return 0;
    }
    *irql_out = static_cast<KIRQL>(PROFILE_LEVEL - line);
    *affinity = 1;
    return kVectorBase + line;
}

} // extern "C"
