// Driver entry: the PCI scan, one device per supported chip, bring-up with its registry record,
// teardown and unload.
#include "chip_device.h"

#include <initializer_list>

#include <new>

namespace tarvo {
namespace {

constexpr USHORT kChipVendor = 0x109E;
constexpr USHORT kChipDevices[] = {0x0350, 0x0351, 0x036E, 0x036F};
constexpr USHORT kBridgeVendor = 0x8086;
constexpr USHORT kBridgeDevice = 0x244E;
constexpr WCHAR kDeviceBase[] = u"TarvoDevice";

enum InstallError : ULONG {
    kInstallOk = 0,
    kInstallResources = 1002,
    kInstallNoHardware = 1003,
    kInstallInterrupt = 1004,
    kInstallBuffers = 1005,
    kInstallRegisters = 1006,
};

DriverState the_state;

ChipDevice* devices[kMaxDevices] = {};
ULONG device_count = 0;

bool supported_chip(USHORT vendor, USHORT device) {
    if (vendor != kChipVendor) {
        return false;
    }
    for (USHORT id : kChipDevices) {
        if (id == device) {
            return true;
        }
    }
    return false;
}

PCWSTR link_prefix() {
    return driver_state().os_flag ? u"\\DosDevices\\" : u"\\??\\";
}

BOOLEAN NTAPI interrupt_trampoline(PKINTERRUPT, PVOID context) {
    return static_cast<ChipDevice*>(context)->ServiceInterrupt() ? TRUE : FALSE;
}

VOID NTAPI dpc_trampoline(PKDPC, PVOID context, PVOID, PVOID) {
    static_cast<ChipDevice*>(context)->DeferredRestart();
}

// "<registry path>\Devices\<name>\"
NTSTATUS device_key_base(ddk::KString& out, PCWSTR name) {
    NTSTATUS status = out.copy(ddk::KDriver::instance()->registry_path());
    return NT_SUCCESS(status) ? out.append_all({u"\\Devices\\", name, u"\\"}) : status;
}

// "<registry path>\Devices\<name>\<n as one hexadecimal digit>\"
NTSTATUS MakeDeviceRegistryPath(ddk::KString& out, PCWSTR name, ULONG n) {
    NTSTATUS status = device_key_base(out, name);
    if (NT_SUCCESS(status)) {
        status = out.append_hex(n & 0xF, 1);
    }
    return NT_SUCCESS(status) ? out.append(u"\\") : status;
}

// Creates the device object of device n with its ChipDevice; null when it could not be created.
ChipDevice* create_device(ULONG n, const ddk::PciLocation* location) {
    PDEVICE_OBJECT object = nullptr;
    if (!NT_SUCCESS(ddk::KDevice::create_object(sizeof(ChipDevice), kDeviceBase, n, object))) {
        return nullptr;
    }
    auto* device = new (object->DeviceExtension) ChipDevice(object, n, location);
    if (NT_SUCCESS(device->status())) {
        device->publish_as(kDeviceBase, n, link_prefix());
    }
    return device;
}

void destroy_all() {
    while (device_count > 0) {
        DestroyChipDevice(devices[--device_count]);
        devices[device_count] = nullptr;
    }
}

NTSTATUS ScanAndCreateDevices(PUNICODE_STRING registry_path) {
    DriverState& state = driver_state();
    {
        ddk::KString parameters;
        ddk::KRegistryKey key;
        if (NT_SUCCESS(parameters.copy(registry_path)) &&
            NT_SUCCESS(parameters.append(u"\\Parameters")) &&
            NT_SUCCESS(key.open(ddk::RegRoot::Absolute, parameters.get()))) {
            ULONG value = 0;
            if (NT_SUCCESS(key.query_dword(u"BreakOnEntry", value))) {
                ddk::KDriver::instance()->break_on_entry = value;
            }
        }
    }

    ddk::PciWalk walk;
    ddk::PciLocation at;
    USHORT vendor = 0, id = 0;
    while (walk.next(at, vendor, id)) {
        if (!supported_chip(vendor, id)) {
            continue;
        }
        if (device_count == kMaxDevices) {
            continue; // the tables hold ten chips; further ones are left alone
        }
        const ULONG n = device_count;
        ChipDevice* device = create_device(n, &at);
        if (device == nullptr) {
            destroy_all();
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        const NTSTATUS status = device->status();
        if (status == STATUS_DEVICE_DOES_NOT_EXIST || status == STATUS_NO_SUCH_DEVICE) {
            DestroyChipDevice(device);
            state.hardware = 1;
            continue;
        }
        if (!NT_SUCCESS(status)) {
            DestroyChipDevice(device);
            destroy_all();
            state.hardware = 0;
            return status;
        }
        devices[device_count++] = device;
        state.hardware = 1;
    }

    if (device_count == 0) {
        state.hardware = 0;
        ChipDevice* device = create_device(0, nullptr);
        if (device == nullptr) {
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        if (!NT_SUCCESS(device->status())) {
            const NTSTATUS status = device->status();
            DestroyChipDevice(device);
            return status;
        }
        devices[device_count++] = device;
    }

    ddk::PciWalk bridges;
    while (bridges.next(at, vendor, id)) {
        if (vendor == kBridgeVendor && id == kBridgeDevice) {
            state.bridge = at;
            state.bridge_found = 1;
        }
    }
    return STATUS_SUCCESS;
}

VOID NTAPI DriverUnload(PDRIVER_OBJECT) {
    destroy_all();
    ddk::KDriver::destroy();
    ddk::run_exit_list();
}

bool key_opens(ddk::RegRoot root, PCWSTR path) {
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, path);
    ddk::KRegistryKey key;
    return NT_SUCCESS(key.open(root, &s));
}

} // namespace

DriverState& driver_state() {
    return the_state;
}

// ---- ChipDevice construction and bring-up
// ---------------------------------------------------------
ChipDevice::ChipDevice(PDEVICE_OBJECT device, ULONG number, const ddk::PciLocation* location)
    : KDevice(device) {
    DriverState& state = driver_state();
    for (ddk::RequestQueue& q : queues_) {
        q.initialize(device, StartIo, this);
    }
    location_ = ddk::PciLocation{0, -1};
    number_ = 0;

    if (number == 0) {
        state.io_permission_map = static_cast<PUCHAR>(MmAllocateNonCachedMemory(IOPM_SIZE));
        if (state.io_permission_map == nullptr) {
            status_ = STATUS_INSUFFICIENT_RESOURCES;
            return;
        }
        RtlZeroMemory(state.io_permission_map, IOPM_SIZE);
        if (location == nullptr || state.hardware == 0) {
            return;
        }
    }
    if (location != nullptr) {
        location_ = *location;
    }
    number_ = number;

    void* block = ddk::allocate(NonPagedPool, sizeof(ChipState));
    if (block == nullptr) {
        state.hardware = 0;
        status_ = STATUS_INSUFFICIENT_RESOURCES;
        return;
    }
    chip_ = new (block) ChipState();
    chip_->device_number = number;
    state.chips[number] = chip_;
    if (location_.slot != -1) {
        ddk::pci_read(location_, 0, chip_->config, sizeof chip_->config);
        RtlCopyMemory(&chip_->device_id, chip_->config + 2, sizeof chip_->device_id);
        chip_->revision = chip_->config[8];
        chip_->interrupt_line = chip_->config[0x3C];
        ddk::pci_write_command(location_, 0x0106);
    }

    NTSTATUS status = device_key_base(resource_key_, kDeviceBase);
    if (NT_SUCCESS(status)) {
        status = resource_key_.append_decimal(number);
    }
    if (NT_SUCCESS(status)) {
        status = MakeDeviceRegistryPath(value_key_, kDeviceBase, number);
    }
    if (!NT_SUCCESS(status)) {
        state.hardware = 0;
        status_ = STATUS_INSUFFICIENT_RESOURCES;
        return;
    }
    if (state.hardware == 0) {
        write_install_values(kInstallNoHardware, nullptr, nullptr);
        return;
    }
    if (location_.slot == -1) {
        status_ = STATUS_NO_SUCH_DEVICE;
        return;
    }
    status_ = StartHardware();
    if (!NT_SUCCESS(status_)) {
        state.hardware = 0;
    }
    current_ = prestart_answers_ = capturing_ = last_size_ = restart_ = field_ = odd_refresh_ = 0;
}

void ChipDevice::write_install_values(ULONG error, const NTSTATUS* status, const ULONG* line) {
    ddk::write_dword_value(value_key_.get(), u"InstallError", error);
    if (status != nullptr) {
        ddk::write_dword_value(value_key_.get(), u"ErrorStatus", static_cast<ULONG>(*status));
    }
    if (line != nullptr) {
        ddk::write_dword_value(value_key_.get(), u"InstallInterrupt", *line);
    }
}

NTSTATUS ChipDevice::StartHardware() {
    PDRIVER_OBJECT driver = ddk::KDriver::instance()->system();
    NTSTATUS status = resources_.assign(driver, device_, location_, resource_key_.get());
    if (!NT_SUCCESS(status)) {
        write_install_values(kInstallResources, &status, nullptr);
        return status;
    }
    const PCM_PARTIAL_RESOURCE_DESCRIPTOR memory = resources_.find(CmResourceTypeMemory);
    if (memory == nullptr) {
        write_install_values(kInstallRegisters, nullptr, nullptr);
        resources_.release(driver, device_);
        return STATUS_UNSUCCESSFUL;
    }
    status = registers_.map(location_, memory->u.Memory.Start, memory->u.Memory.Length);
    if (!NT_SUCCESS(status)) {
        write_install_values(kInstallRegisters, &status, nullptr);
        registers_.unmap();
        resources_.release(driver, device_);
        return status;
    }
    chip_->registers = registers_.kernel_address();

    status = interrupt_.connect(resources_, 0, interrupt_trampoline, this);
    if (!NT_SUCCESS(status)) {
        const ULONG line = chip_->interrupt_line;
        write_install_values(kInstallInterrupt, &status, &line);
        registers_.unmap();
        chip_->registers = nullptr;
        interrupt_.disconnect();
        resources_.release(driver, device_);
        return status;
    }
    KeInitializeDpc(&dpc_, dpc_trampoline, this);

    if (InitChip(*chip_) != 0) {
        write_install_values(kInstallBuffers, nullptr, nullptr);
        return STATUS_UNSUCCESSFUL;
    }
    tick_increment_ = KeQueryTimeIncrement();
    write_install_values(kInstallOk, nullptr, nullptr);
    return STATUS_SUCCESS;
}

// ---- Teardown
// -------------------------------------------------------------------------------------
void ChipDevice::free_chip() {
    if (chip_ == nullptr) {
        return;
    }
    ChipState& c = *chip_;
    if (c.records != nullptr) {
        for (ULONG i = 0; i < kMaxBuffers; ++i) {
            if (c.records[i].live != nullptr) {
                MmFreeContiguousMemory(c.records[i].live);
            }
            ddk::release(c.records[i].backup);
            c.records[i].~BufferRecord();
        }
        ddk::release(c.records);
    }
    ddk::release(c.table);
    ddk::release(c.master);
    driver_state().chips[c.device_number] = nullptr;
    c.~ChipState();
    ddk::release(chip_);
    chip_ = nullptr;
}

ChipDevice::~ChipDevice() = default;

void DestroyChipDevice(ChipDevice* device) {
    DriverState& state = driver_state();
    if (device->number() == 0 && state.io_permission_map != nullptr) {
        MmFreeNonCachedMemory(state.io_permission_map, IOPM_SIZE);
        state.io_permission_map = nullptr;
    }
    device->teardown();
    ddk::KDevice::delete_device(device);
}

// Undoes exactly what this device set up, whatever the other devices did.
void ChipDevice::teardown() {
    if (chip_ != nullptr && chip_->registers != nullptr) {
        chip_->clear_bits(GPIO_DMA_CTL, 0xF);
        chip_->write(INT_MASK, 0);
        chip_->write(INT_STAT, 0xFFFFFFFF);
        chip_->write(GPIO_OUT_EN, 0);
    }
    // Off the shared line before the register window goes dark, so the handler never reads a
    // disabled window.
    interrupt_.disconnect();
    KeRemoveQueueDpc(&dpc_);
    // A restart already running on another processor still uses the chip state freed below.
    KeFlushQueuedDpcs();
    if (chip_ != nullptr && location_.slot != -1) {
        ddk::pci_write_command(location_, ddk::pci_read_command(location_) & ~USHORT(2));
    }
    // The DMA is stopped once its last instruction is done: buffers of a stream still running
    // can be unlocked safely then.
    if (chip_ != nullptr && chip_->registers != nullptr) {
        WaitForDmaStop();
    }
    unlock_all_buffers();
    resources_.release(ddk::KDriver::instance()->system(), device_);
    free_chip();
    registers_.unmap();
}

} // namespace tarvo

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    using namespace tarvo;
    the_state = DriverState{};
    device_count = 0;
    ddk::trace_start(u"Tarvo: ");
    ddk::add_exit_routine(ddk::trace_stop);

    driver_state().os_flag =
        !key_opens(ddk::RegRoot::Control, u"Class") && key_opens(ddk::RegRoot::Services, u"Class");

    if (ddk::KDriver::create(driver, registry_path) == nullptr) {
        ddk::run_exit_list();
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    for (UCHAR major : {IRP_MJ_CREATE, IRP_MJ_CLOSE, IRP_MJ_READ, IRP_MJ_WRITE,
                        IRP_MJ_DEVICE_CONTROL, IRP_MJ_SHUTDOWN, IRP_MJ_CLEANUP}) {
        driver->MajorFunction[major] = ddk::route_request;
    }
    driver->DriverUnload = DriverUnload;
    ddk::KDriver::instance()->flags |= 1;

    const NTSTATUS status = ScanAndCreateDevices(registry_path);
    if (!NT_SUCCESS(status)) {
        ddk::KDriver::destroy();
        ddk::run_exit_list();
    }
    return status;
}
