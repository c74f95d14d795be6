// Kernel support layer: pool, strings, registry keys, PCI configuration and the slot walk,
// resource requests, memory ranges and views, lock objects, interrupts.
#include "ddk.h"

namespace ddk {

PVOID allocate(POOL_TYPE type, SIZE_T bytes) {
    return ExAllocatePoolWithTag(type, bytes, kPoolTag);
}

void release(PVOID block) {
    if (block != nullptr) {
        ExFreePoolWithTag(block, kPoolTag);
    }
}

// ---- Counted strings ----------------------------------------------------------------------------
KString::~KString() {
    clear();
}

void KString::clear() {
    if (owned_) {
        release(string_.Buffer);
    }
    string_ = UNICODE_STRING{0, 0, nullptr};
    owned_ = false;
}

NTSTATUS KString::allocate(USHORT capacity) {
    clear();
    if (capacity < 2) {
        return STATUS_SUCCESS;
    }
    auto* buffer = static_cast<PWSTR>(ddk::allocate(PagedPool, capacity));
    if (buffer == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    RtlZeroMemory(buffer, capacity);
    string_ = UNICODE_STRING{0, capacity, buffer};
    owned_ = true;
    return STATUS_SUCCESS;
}

NTSTATUS KString::copy(PCUNICODE_STRING source) {
    // One more character for a terminating zero.
    const NTSTATUS status = allocate(static_cast<USHORT>(source->Length + sizeof(WCHAR)));
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return append(source);
}

NTSTATUS KString::copy(PCWSTR source) {
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, source);
    return copy(&s);
}

NTSTATUS KString::append(PCUNICODE_STRING text) {
    if (string_.Length + text->Length + sizeof(WCHAR) > string_.MaximumLength) {
        // Grow, keeping room for a terminating zero.
        const ULONG wanted = string_.Length + text->Length + 64u;
        if (wanted > 0xFFFE) {
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        auto* buffer = static_cast<PWSTR>(ddk::allocate(PagedPool, wanted));
        if (buffer == nullptr) {
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        RtlZeroMemory(buffer, wanted);
        if (string_.Length != 0) {
            RtlCopyMemory(buffer, string_.Buffer, string_.Length);
        }
        const USHORT length = string_.Length;
        clear();
        string_ = UNICODE_STRING{length, static_cast<USHORT>(wanted), buffer};
        owned_ = true;
    }
    RtlCopyMemory(reinterpret_cast<char*>(string_.Buffer) + string_.Length, text->Buffer,
                  text->Length);
    string_.Length = static_cast<USHORT>(string_.Length + text->Length);
    string_.Buffer[string_.Length / sizeof(WCHAR)] = 0;
    return STATUS_SUCCESS;
}

NTSTATUS KString::append(PCWSTR text) {
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, text);
    return append(&s);
}

NTSTATUS KString::append_all(std::initializer_list<PCWSTR> parts) {
    for (PCWSTR part : parts) {
        const NTSTATUS status = append(part);
        if (!NT_SUCCESS(status)) {
            return status;
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS KString::append_hex(ULONG value, ULONG digits) {
    if (digits < 1 || digits > 8) {
        return STATUS_INVALID_PARAMETER;
    }
    WCHAR text[9];
    int n = 0;
    WCHAR reversed[8];
    do {
        const ULONG d = value & 0xF;
        reversed[n++] = static_cast<WCHAR>(d < 10 ? u'0' + d : u'A' + d - 10);
        value >>= 4;
    } while (value != 0 && n < 8);
    while (static_cast<ULONG>(n) < digits) {
        reversed[n++] = u'0';
    }
    for (int i = 0; i < n; ++i) {
        text[i] = reversed[n - 1 - i];
    }
    text[n] = 0;
    return append(text);
}

NTSTATUS KString::append_decimal(ULONG value) {
    WCHAR text[11];
    WCHAR reversed[10];
    int n = 0;
    do {
        reversed[n++] = static_cast<WCHAR>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; ++i) {
        text[i] = reversed[n - 1 - i];
    }
    text[n] = 0;
    return append(text);
}

ULONG wide_length(PCWSTR text) {
    ULONG n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

NTSTATUS name_with_unit(KString& out, PCWSTR base, ULONG unit, bool hex) {
    NTSTATUS status = out.copy(base);
    if (NT_SUCCESS(status)) {
        status = hex ? out.append_hex(unit, 1) : out.append_decimal(unit);
    }
    return status;
}

// ---- Registry keys ------------------------------------------------------------------------------
namespace {
PCWSTR root_path(RegRoot root) {
    switch (root) {
    case RegRoot::Absolute:
        return u"";
    case RegRoot::Services:
        return u"\\Registry\\Machine\\System\\CurrentControlSet\\Services";
    case RegRoot::Control:
        return u"\\Registry\\Machine\\System\\CurrentControlSet\\Control";
    case RegRoot::CurrentVersion:
        return u"\\Registry\\Machine\\Software\\Microsoft\\Windows NT\\CurrentVersion";
    case RegRoot::DeviceMap:
        return u"\\REGISTRY\\Machine\\HARDWARE\\DEVICEMAP";
    case RegRoot::User:
        return u"\\Registry\\User";
    }
    return u"";
}
} // namespace

NTSTATUS KRegistryKey::full_path(RegRoot root, PCUNICODE_STRING path, KString& out) {
    NTSTATUS status = out.copy(root_path(root));
    if (!NT_SUCCESS(status)) {
        return status;
    }
    const bool root_slash =
        out.get()->Length != 0 && out.get()->Buffer[out.get()->Length / sizeof(WCHAR) - 1] == u'\\';
    const bool path_slash = path->Length != 0 && path->Buffer[0] == u'\\';
    if (root != RegRoot::Absolute && !root_slash && !path_slash) {
        status = out.append(u"\\");
    }
    return NT_SUCCESS(status) ? out.append(path) : status;
}

NTSTATUS KRegistryKey::open(RegRoot root, PCUNICODE_STRING path, ACCESS_MASK access) {
    close();
    KString full;
    NTSTATUS status = full_path(root, path, full);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, full.get(), OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               nullptr, nullptr);
    status_ = ZwOpenKey(&handle_, access, &attributes);
    if (!NT_SUCCESS(status_)) {
        handle_ = nullptr;
    }
    return status_;
}

NTSTATUS KRegistryKey::create(RegRoot root, PCUNICODE_STRING path) {
    close();
    KString full;
    NTSTATUS status = full_path(root, path, full);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    // Level by level: every prefix that ends before a backslash, then the whole path.
    PUNICODE_STRING s = full.get();
    const USHORT chars = static_cast<USHORT>(s->Length / sizeof(WCHAR));
    const USHORT skip = static_cast<USHORT>(wide_length(u"\\Registry\\Machine\\"));
    for (USHORT i = skip; i <= chars; ++i) {
        if (i != chars && s->Buffer[i] != u'\\') {
            continue;
        }
        if (i == chars && s->Buffer[i - 1] == u'\\') {
            break; // a closing backslash names no further level
        }
        UNICODE_STRING level{static_cast<USHORT>(i * sizeof(WCHAR)), s->MaximumLength, s->Buffer};
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &level, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                                   nullptr, nullptr);
        HANDLE h = nullptr;
        ULONG disposition = 0;
        status = ZwCreateKey(&h, KEY_ALL_ACCESS, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             &disposition);
        if (!NT_SUCCESS(status)) {
            status_ = status;
            return status;
        }
        if (handle_ != nullptr) {
            ZwClose(handle_);
        }
        handle_ = h;
    }
    status_ = STATUS_SUCCESS;
    return status_;
}

NTSTATUS KRegistryKey::query_dword(PCWSTR name, ULONG& value) {
    if (handle_ == nullptr) {
        return STATUS_INVALID_HANDLE;
    }
    UNICODE_STRING n;
    RtlInitUnicodeString(&n, name);
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    ULONG result = 0;
    const NTSTATUS status =
        ZwQueryValueKey(handle_, &n, KeyValuePartialInformation, buffer, sizeof buffer, &result);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    const auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    if (info->Type != REG_DWORD || info->DataLength != sizeof(ULONG)) {
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    RtlCopyMemory(&value, info->Data, sizeof value);
    return STATUS_SUCCESS;
}

NTSTATUS KRegistryKey::set_dword(PCWSTR name, ULONG value) {
    if (handle_ == nullptr) {
        return STATUS_INVALID_HANDLE;
    }
    UNICODE_STRING n;
    RtlInitUnicodeString(&n, name);
    return ZwSetValueKey(handle_, &n, 0, REG_DWORD, &value, sizeof value);
}

void KRegistryKey::close() {
    if (handle_ != nullptr) {
        ZwClose(handle_);
        handle_ = nullptr;
    }
}

void write_dword_value(PCUNICODE_STRING key_path, PCWSTR name, ULONG value) {
    KRegistryKey key;
    if (NT_SUCCESS(key.open(RegRoot::Absolute, key_path, KEY_ALL_ACCESS))) {
        key.set_dword(name, value);
    }
}

// ---- PCI configuration --------------------------------------------------------------------------
ULONG pci_read(const PciLocation& at, ULONG offset, PVOID data, ULONG length) {
    return HalGetBusDataByOffset(PCIConfiguration, at.bus, static_cast<ULONG>(at.slot), data,
                                 offset, length);
}

ULONG pci_write(const PciLocation& at, ULONG offset, PVOID data, ULONG length) {
    return HalSetBusDataByOffset(PCIConfiguration, at.bus, static_cast<ULONG>(at.slot), data,
                                 offset, length);
}

USHORT pci_read_command(const PciLocation& at) {
    USHORT command = 0;
    pci_read(at, 4, &command, sizeof command);
    return command;
}

void pci_write_command(const PciLocation& at, USHORT command) {
    pci_write(at, 4, &command, sizeof command);
}

ULONG pci_read_bar(const PciLocation& at, ULONG index) {
    ULONG bar = 0;
    pci_read(at, 16 + 4 * index, &bar, sizeof bar);
    return bar;
}

UCHAR pci_read_interrupt_line(const PciLocation& at) {
    UCHAR line = 0;
    pci_read(at, 0x3C, &line, sizeof line);
    return line;
}

void PciWalk::advance(bool whole_device) {
    if (!whole_device && function_ < PCI_MAX_FUNCTION - 1) {
        ++function_;
        return;
    }
    function_ = 0;
    if (++device_ == PCI_MAX_DEVICES) {
        device_ = 0;
        ++bus_;
    }
}

bool PciWalk::next(PciLocation& at, USHORT& vendor, USHORT& device) {
    if (started_) {
        // After a present function 0 of a single-function device go to the next device.
        UCHAR header = 0;
        PCI_SLOT_NUMBER slot{};
        slot.u.bits.DeviceNumber = device_;
        slot.u.bits.FunctionNumber = function_;
        const bool single =
            function_ == 0 &&
            HalGetBusDataByOffset(PCIConfiguration, bus_, slot.u.AsULONG, &header, 0x0E, 1) == 1 &&
            (header & PCI_MULTIFUNCTION) == 0;
        advance(single);
    }
    started_ = true;
    while (bus_ < 256) {
        PCI_SLOT_NUMBER slot{};
        slot.u.bits.DeviceNumber = device_;
        slot.u.bits.FunctionNumber = function_;
        USHORT ids[2] = {0, 0};
        const ULONG got =
            HalGetBusDataByOffset(PCIConfiguration, bus_, slot.u.AsULONG, ids, 0, sizeof ids);
        if (got == 0) { // no such bus
            if (bus_ == 255) {
                return false;
            }
            ++bus_;
            device_ = 0;
            function_ = 0;
            continue;
        }
        if (got < sizeof ids || ids[0] == PCI_INVALID_VENDORID) {
            advance(false); // an empty slot is passed by function
            if (bus_ >= 256) {
                return false;
            }
            continue;
        }
        at.bus = bus_;
        at.slot = static_cast<LONG>(slot.u.AsULONG);
        vendor = ids[0];
        device = ids[1];
        return true;
    }
    return false;
}

// ---- Resource request ---------------------------------------------------------------------------
NTSTATUS KResourceRequest::assign(PDRIVER_OBJECT driver, PDEVICE_OBJECT device,
                                  const PciLocation& at, PCUNICODE_STRING key_path) {
    free_list();
    KRegistryKey key;
    key.create(RegRoot::Absolute, key_path);
    key.close();
    // Released in every case: an assignment that failed part-way may still hold a claim.
    claimed_ = true;
    const NTSTATUS status =
        HalAssignSlotResources(const_cast<PUNICODE_STRING>(key_path), nullptr, driver, device,
                               PCIBus, at.bus, static_cast<ULONG>(at.slot), &list_);
    if (!NT_SUCCESS(status)) {
        list_ = nullptr;
    }
    return status;
}

void KResourceRequest::release(PDRIVER_OBJECT driver, PDEVICE_OBJECT device) {
    if (claimed_) {
        CM_RESOURCE_LIST empty{};
        BOOLEAN conflict = FALSE;
        IoReportResourceUsage(nullptr, driver, nullptr, 0, device, &empty, sizeof empty, FALSE,
                              &conflict);
        claimed_ = false;
    }
    free_list();
}

void KResourceRequest::free_list() {
    if (list_ != nullptr) {
        ExFreePool(list_);
        list_ = nullptr;
    }
}

PCM_PARTIAL_RESOURCE_DESCRIPTOR KResourceRequest::find(UCHAR type, ULONG n) const {
    if (list_ == nullptr) {
        return nullptr;
    }
    // The lists are variable-length: walk them by address, not by the declared array bounds.
    auto* full = reinterpret_cast<PUCHAR>(&list_->List[0]);
    for (ULONG f = 0; f < list_->Count; ++f) {
        auto* partial = reinterpret_cast<PCM_PARTIAL_RESOURCE_LIST>(
            full + offsetof(CM_FULL_RESOURCE_DESCRIPTOR, PartialResourceList));
        auto* d = reinterpret_cast<PUCHAR>(partial) +
                  offsetof(CM_PARTIAL_RESOURCE_LIST, PartialDescriptors);
        for (ULONG i = 0; i < partial->Count; ++i, d += sizeof(CM_PARTIAL_RESOURCE_DESCRIPTOR)) {
            auto* descriptor = reinterpret_cast<PCM_PARTIAL_RESOURCE_DESCRIPTOR>(d);
            if (descriptor->Type == type && n-- == 0) {
                return descriptor;
            }
        }
        full = d;
    }
    return nullptr;
}

// ---- Memory range and views ---------------------------------------------------------------------
NTSTATUS KMemoryRange::map(const PciLocation& at, PHYSICAL_ADDRESS bus_address, ULONG length) {
    unmap();
    ULONG space = 0; // memory space
    if (!HalTranslateBusAddress(PCIBus, at.bus, bus_address, &space, &physical_)) {
        return STATUS_UNSUCCESSFUL;
    }
    io_space_ = space != 0;
    length_ = length;
    kernel_ = MmMapIoSpace(physical_, length, MmNonCached);
    return kernel_ != nullptr ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
}

void KMemoryRange::unmap() {
    if (kernel_ != nullptr) {
        MmUnmapIoSpace(kernel_, length_);
        kernel_ = nullptr;
    }
}

NTSTATUS KPhysicalView::map(PHYSICAL_ADDRESS physical, ULONG length, bool io_space) {
    unmap();
    if (io_space) {
        return STATUS_CONFLICTING_ADDRESSES;
    }
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Device\\PhysicalMemory");
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    NTSTATUS status = ZwOpenSection(&section_handle_, SECTION_ALL_ACCESS, &attributes);
    if (!NT_SUCCESS(status)) {
        section_handle_ = nullptr;
        return status;
    }
    status = ObReferenceObjectByHandle(section_handle_, SECTION_ALL_ACCESS, nullptr, KernelMode,
                                       &section_, nullptr);
    if (!NT_SUCCESS(status)) {
        section_ = nullptr;
        unmap();
        return status;
    }
    LARGE_INTEGER offset = physical;
    SIZE_T size = length;
    base_ = nullptr;
    status = ZwMapViewOfSection(section_handle_, NtCurrentProcess(), &base_, 0, length, &offset,
                                &size, ViewShare, 0, PAGE_READWRITE | PAGE_NOCACHE);
    if (!NT_SUCCESS(status)) {
        base_ = nullptr;
        unmap();
        return status;
    }
    user_ = reinterpret_cast<ULONG_PTR>(base_) + (physical.QuadPart - offset.QuadPart);
    return STATUS_SUCCESS;
}

void KPhysicalView::unmap() {
    if (base_ != nullptr) {
        ZwUnmapViewOfSection(NtCurrentProcess(), base_);
        base_ = nullptr;
    }
    user_ = 0;
    if (section_ != nullptr) {
        ObDereferenceObject(section_);
        section_ = nullptr;
    }
    if (section_handle_ != nullptr) {
        ZwClose(section_handle_);
        section_handle_ = nullptr;
    }
}

// ---- Lock objects -------------------------------------------------------------------------------
NTSTATUS KLockObject::create(PVOID address, ULONG length) {
    free();
    mdl_ = IoAllocateMdl(address, length, FALSE, FALSE, nullptr);
    return mdl_ != nullptr ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
}

void KLockObject::describe_nonpaged() {
    if (mdl_ != nullptr && !(mdl_->MdlFlags & MDL_SOURCE_IS_NONPAGED_POOL)) {
        MmBuildMdlForNonPagedPool(mdl_);
    }
}

NTSTATUS KLockObject::lock(LOCK_OPERATION operation, KPROCESSOR_MODE mode) {
    if (mdl_ == nullptr) {
        return STATUS_UNSUCCESSFUL;
    }
    NTSTATUS status = STATUS_SUCCESS;
    __try {
        MmProbeAndLockPages(mdl_, mode, operation);
        locked_ = true;
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        status = STATUS_UNSUCCESSFUL;
    }
    return status;
}

PVOID KLockObject::map_user() {
    PVOID address = nullptr;
    __try {
        address = MmMapLockedPagesSpecifyCache(mdl_, UserMode, MmCached, nullptr, FALSE,
                                               NormalPagePriority);
    } __except (EXCEPTION_EXECUTE_HANDLER) {
        address = nullptr;
    }
    return address;
}

void KLockObject::unmap_user(PVOID address) {
    if (mdl_ != nullptr && address != nullptr) {
        MmUnmapLockedPages(address, mdl_);
    }
}

PVOID KLockObject::system_address() {
    return mdl_ != nullptr ? MmGetSystemAddressForMdlSafe(mdl_, NormalPagePriority) : nullptr;
}

void KLockObject::unlock() {
    if (locked_) {
        MmUnlockPages(mdl_);
        locked_ = false;
    }
}

void KLockObject::free() {
    unlock();
    if (mdl_ != nullptr) {
        IoFreeMdl(mdl_);
        mdl_ = nullptr;
    }
}

ULONG KLockObject::physical(ULONG_PTR address) const {
    const auto start = reinterpret_cast<ULONG_PTR>(mdl_->StartVa);
    const ULONG_PTR page = (address - start) >> PAGE_SHIFT;
    const PPFN_NUMBER pfn = MmGetMdlPfnArray(mdl_);
    return static_cast<ULONG>((pfn[page] << PAGE_SHIFT) | (address & (PAGE_SIZE - 1)));
}

// ---- Interrupt object ---------------------------------------------------------------------------
NTSTATUS KInterrupt::connect(const KResourceRequest& resources, ULONG n, PKSERVICE_ROUTINE routine,
                             PVOID context) {
    const PCM_PARTIAL_RESOURCE_DESCRIPTOR d = resources.find(CmResourceTypeInterrupt, n);
    if (d == nullptr) {
        return STATUS_RESOURCE_TYPE_NOT_FOUND;
    }
    KIRQL irql = 0;
    KAFFINITY affinity = 0;
    const ULONG vector = HalGetInterruptVector(PCIBus, 0, d->u.Interrupt.Level,
                                               d->u.Interrupt.Vector, &irql, &affinity);
    if (vector == 0) {
        return STATUS_UNSUCCESSFUL;
    }
    const KINTERRUPT_MODE mode =
        (d->Flags & CM_RESOURCE_INTERRUPT_LATCHED) ? Latched : LevelSensitive;
    const BOOLEAN share = d->ShareDisposition != CmResourceShareDeviceExclusive;
    const NTSTATUS status = IoConnectInterrupt(&object_, routine, context, nullptr, vector, irql,
                                               irql, mode, share, affinity, FALSE);
    if (!NT_SUCCESS(status)) {
        object_ = nullptr;
    }
    return status;
}

void KInterrupt::disconnect() {
    if (object_ != nullptr) {
        IoDisconnectInterrupt(object_);
        object_ = nullptr;
    }
}

BOOLEAN KInterrupt::synchronize(PKSYNCHRONIZE_ROUTINE routine, PVOID context) {
    if (object_ != nullptr) {
        return KeSynchronizeExecution(object_, routine, context);
    }
    return routine(context);
}

} // namespace ddk
