// A small kernel driver for the kernel stand-in's tests: one device "\Device\NtTest0" with the
// link "\??\NtTest0"; when the machine has a capture chip it takes the first one's resources,
// maps its registers and connects its interrupt (ISR and DPC count).
#include <ntddk.h>

#include "test_driver_interface.h"

namespace {

struct Extension {
    PKINTERRUPT interrupt;
    KDPC dpc;
    volatile ULONG* registers;
    ULONG register_length;
    PHYSICAL_ADDRESS register_phys;
    KSPIN_LOCK lock;
    PIRP pended;
    PMDL locked;
    PVOID view;
    HANDLE section;
    PIO_WORKITEM work;
    volatile LONG counts[sizeof(Counts) / sizeof(ULONG)];
    ULONG bus;
    ULONG slot;
    PCM_RESOURCE_LIST resources;
};

PDEVICE_OBJECT g_device;
ULONG g_careless;
LONG g_unloading;

enum CountIndex {
    kIsr,
    kIsrClaimed,
    kDpc,
    kWork,
    kShutdown,
    kCreate,
    kCleanup,
    kClose,
    kChip,
    kStatus
};

Extension* ext(PDEVICE_OBJECT d) {
    return static_cast<Extension*>(d->DeviceExtension);
}

NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

BOOLEAN NTAPI service_interrupt(PKINTERRUPT, PVOID context) {
    Extension* e = static_cast<Extension*>(context);
    InterlockedIncrement(&e->counts[kIsr]);
    const ULONG status = READ_REGISTER_ULONG(e->registers + NTEST_INT_STAT / 4);
    const ULONG mask = READ_REGISTER_ULONG(e->registers + NTEST_INT_MASK / 4);
    if ((status & mask) == 0) {
        return FALSE;
    }
    WRITE_REGISTER_ULONG(e->registers + NTEST_INT_STAT / 4, status & mask);
    e->counts[kStatus] = static_cast<LONG>(status & mask);
    InterlockedIncrement(&e->counts[kIsrClaimed]);
    KeInsertQueueDpc(&e->dpc, nullptr, nullptr);
    return TRUE;
}

VOID NTAPI deferred(PKDPC, PVOID context, PVOID, PVOID) {
    InterlockedIncrement(&static_cast<Extension*>(context)->counts[kDpc]);
    if (g_careless & NTEST_SLOW_DPC) {
        // Still busy when the driver unloads: it waits for the unload to begin, then for 20
        // seconds of kernel time (the manual clock moves with its reads).
        while (__atomic_load_n(&g_unloading, __ATOMIC_ACQUIRE) == 0) {
        }
        LARGE_INTEGER start, now;
        KeQueryTickCount(&start);
        do {
            KeQueryTickCount(&now);
        } while (now.QuadPart - start.QuadPart < 20000);
    }
}

VOID NTAPI work_routine(PDEVICE_OBJECT device, PVOID) {
    InterlockedIncrement(&ext(device)->counts[kWork]);
}

VOID NTAPI cancel_pended(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Extension* e = ext(device);
    KIRQL old;
    KeAcquireSpinLock(&e->lock, &old);
    if (e->pended == irp) {
        e->pended = nullptr;
    }
    KeReleaseSpinLock(&e->lock, old);
    complete(irp, STATUS_CANCELLED, 0);
}

struct SyncContext {
    Extension* e;
    SyncAnswer answer;
};

BOOLEAN NTAPI synchronized_enable(PVOID context) {
    auto* c = static_cast<SyncContext*>(context);
    c->answer.isr_before = static_cast<ULONG>(c->e->counts[kIsr]);
    // Enabling a pending error bit raises the line at once; the ISR must wait for this routine.
    WRITE_REGISTER_ULONG(c->e->registers + NTEST_INT_MASK / 4, 1u << 12);
    c->answer.isr_inside = static_cast<ULONG>(c->e->counts[kIsr]);
    return TRUE;
}

NTSTATUS map_registers(Extension* e, PVOID* user) {
    *user = nullptr;
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\PhysicalMemory");
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    NTSTATUS status = ZwOpenSection(&e->section, SECTION_ALL_ACCESS, &oa);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    PVOID section_object = nullptr;
    status = ObReferenceObjectByHandle(e->section, SECTION_ALL_ACCESS, *MmSectionObjectType,
                                       KernelMode, &section_object, nullptr);
    if (!NT_SUCCESS(status)) {
        ZwClose(e->section);
        return status;
    }
    ObDereferenceObject(section_object);
    LARGE_INTEGER offset = e->register_phys;
    SIZE_T size = e->register_length;
    PVOID base = nullptr;
    status = ZwMapViewOfSection(e->section, NtCurrentProcess(), &base, 0, size, &offset, &size,
                                ViewShare, 0, PAGE_READWRITE | PAGE_NOCACHE);
    if (!NT_SUCCESS(status)) {
        ZwClose(e->section);
        return status;
    }
    e->view = base;
    *user = static_cast<PCHAR>(base) + (e->register_phys.QuadPart - offset.QuadPart);
    return STATUS_SUCCESS;
}

VOID unmap_registers(Extension* e) {
    if (e->view != nullptr) {
        ZwUnmapViewOfSection(NtCurrentProcess(), e->view);
        ZwClose(e->section);
        e->view = nullptr;
    }
}

NTSTATUS NTAPI dispatch_control(PDEVICE_OBJECT device, PIRP irp) {
    Extension* e = ext(device);
    PIO_STACK_LOCATION s = IoGetCurrentIrpStackLocation(irp);
    const ULONG in = s->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG out = s->Parameters.DeviceIoControl.OutputBufferLength;
    PVOID buffer = irp->AssociatedIrp.SystemBuffer;
    switch (s->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_NTEST_FILL: {
        if (in < sizeof(FillRequest)) {
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        }
        const FillRequest r = *static_cast<FillRequest*>(buffer);
        RtlFillMemory(buffer, in > out ? in : out, r.fill);
        return complete(irp, r.status, r.information);
    }
    case IOCTL_NTEST_PEND: {
        KIRQL old;
        KeAcquireSpinLock(&e->lock, &old);
        if (e->pended != nullptr) {
            KeReleaseSpinLock(&e->lock, old);
            return complete(irp, STATUS_DEVICE_BUSY, 0);
        }
        IoMarkIrpPending(irp);
        IoSetCancelRoutine(irp, cancel_pended);
        e->pended = irp;
        KeReleaseSpinLock(&e->lock, old);
        return STATUS_PENDING;
    }
    case IOCTL_NTEST_RELEASE: {
        KIRQL old;
        KeAcquireSpinLock(&e->lock, &old);
        PIRP p = e->pended;
        if (p != nullptr && IoSetCancelRoutine(p, nullptr) != nullptr) {
            e->pended = nullptr;
        } else {
            p = nullptr;
        }
        KeReleaseSpinLock(&e->lock, old);
        if (p == nullptr) {
            return complete(irp, STATUS_INVALID_DEVICE_STATE, 0);
        }
        const ULONG value = in >= 4 ? *static_cast<ULONG*>(buffer) : 0;
        const ULONG pend_out =
            IoGetCurrentIrpStackLocation(p)->Parameters.DeviceIoControl.OutputBufferLength;
        if (pend_out >= 4) {
            *static_cast<ULONG*>(p->AssociatedIrp.SystemBuffer) = value;
        }
        complete(p, STATUS_SUCCESS, pend_out >= 4 ? 4 : 0);
        return complete(irp, STATUS_SUCCESS, 0);
    }
    case IOCTL_NTEST_COMPLETE_TWICE:
        complete(irp, STATUS_SUCCESS, 0);
        return complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_NTEST_LOCK: {
        if (in < sizeof(LockRequest) || out < sizeof(LockAnswer) || e->locked != nullptr) {
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        }
        const LockRequest r = *static_cast<LockRequest*>(buffer);
        PVOID address = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(r.address));
        if (ADDRESS_AND_SIZE_TO_SPAN_PAGES(address, r.length) > 64) {
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        }
        PMDL mdl = IoAllocateMdl(address, r.length, FALSE, FALSE, nullptr);
        if (mdl == nullptr) {
            return complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
        }
        __try {
            MmProbeAndLockPages(mdl, UserMode, IoWriteAccess);
        } __except (EXCEPTION_EXECUTE_HANDLER) {
            IoFreeMdl(mdl);
            return complete(irp, STATUS_UNSUCCESSFUL, 0);
        }
        e->locked = mdl;
        auto* a = static_cast<LockAnswer*>(buffer);
        a->pages = ADDRESS_AND_SIZE_TO_SPAN_PAGES(address, r.length);
        a->byte_offset = MmGetMdlByteOffset(mdl);
        for (ULONG i = 0; i < a->pages; ++i) {
            a->pfn[i] = MmGetMdlPfnArray(mdl)[i];
        }
        return complete(irp, STATUS_SUCCESS, sizeof(LockAnswer));
    }
    case IOCTL_NTEST_UNLOCK:
        if (e->locked == nullptr) {
            return complete(irp, STATUS_INVALID_DEVICE_STATE, 0);
        }
        MmUnlockPages(e->locked);
        IoFreeMdl(e->locked);
        e->locked = nullptr;
        return complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_NTEST_MAP_REGISTERS: {
        if (out < sizeof(ULONG_PTR)) {
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        }
        PVOID user = nullptr;
        if (e->registers != nullptr && e->view == nullptr) {
            map_registers(e, &user);
        }
        *static_cast<ULONG_PTR*>(buffer) = reinterpret_cast<ULONG_PTR>(user);
        return complete(irp, STATUS_SUCCESS, sizeof(ULONG_PTR));
    }
    case IOCTL_NTEST_UNMAP_REGISTERS:
        unmap_registers(e);
        return complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_NTEST_COUNTS: {
        if (out < sizeof(Counts)) {
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        }
        RtlCopyMemory(buffer, const_cast<LONG*>(e->counts), sizeof(Counts));
        return complete(irp, STATUS_SUCCESS, sizeof(Counts));
    }
    case IOCTL_NTEST_SYNC: {
        if (out < sizeof(SyncAnswer) || e->interrupt == nullptr) {
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        }
        SyncContext c{e, {}};
        KeSynchronizeExecution(e->interrupt, synchronized_enable, &c);
        *static_cast<SyncAnswer*>(buffer) = c.answer;
        return complete(irp, STATUS_SUCCESS, sizeof(SyncAnswer));
    }
    case IOCTL_NTEST_WORK:
        IoQueueWorkItem(e->work, work_routine, DelayedWorkQueue, nullptr);
        return complete(irp, STATUS_SUCCESS, 0);
    case IOCTL_NTEST_QUEUE_DPC:
        KeInsertQueueDpc(&e->dpc, nullptr, nullptr);
        return complete(irp, STATUS_SUCCESS, 0);
    default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

NTSTATUS NTAPI dispatch_other(PDEVICE_OBJECT device, PIRP irp) {
    Extension* e = ext(device);
    PIO_STACK_LOCATION s = IoGetCurrentIrpStackLocation(irp);
    switch (s->MajorFunction) {
    case IRP_MJ_CREATE:
        InterlockedIncrement(&e->counts[kCreate]);
        break;
    case IRP_MJ_CLOSE:
        InterlockedIncrement(&e->counts[kClose]);
        break;
    case IRP_MJ_SHUTDOWN:
        InterlockedIncrement(&e->counts[kShutdown]);
        break;
    case IRP_MJ_CLEANUP: {
        InterlockedIncrement(&e->counts[kCleanup]);
        KIRQL old;
        KeAcquireSpinLock(&e->lock, &old);
        PIRP p = e->pended;
        if (p != nullptr && IoGetCurrentIrpStackLocation(p)->FileObject == s->FileObject &&
            IoSetCancelRoutine(p, nullptr) != nullptr) {
            e->pended = nullptr;
        } else {
            p = nullptr;
        }
        KeReleaseSpinLock(&e->lock, old);
        if (p != nullptr) {
            complete(p, STATUS_CANCELLED, 0);
        }
        break;
    }
    default:
        break;
    }
    return complete(irp, STATUS_SUCCESS, 0);
}

// Takes the first capture chip's register window and interrupt.
VOID start_chip(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path, Extension* e) {
    for (ULONG device = 0; device < PCI_MAX_DEVICES; ++device) {
        for (ULONG function = 0; function < PCI_MAX_FUNCTION; ++function) {
            PCI_SLOT_NUMBER slot;
            slot.u.AsULONG = 0;
            slot.u.bits.DeviceNumber = device;
            slot.u.bits.FunctionNumber = function;
            PCI_COMMON_CONFIG config;
            const ULONG got =
                HalGetBusData(PCIConfiguration, 0, slot.u.AsULONG, &config, PCI_COMMON_HDR_LENGTH);
            if (got != PCI_COMMON_HDR_LENGTH || config.VendorID != 0x109E) {
                continue;
            }
            PCM_RESOURCE_LIST list = nullptr;
            if (!NT_SUCCESS(HalAssignSlotResources(registry_path, nullptr, driver, g_device, PCIBus,
                                                   0, slot.u.AsULONG, &list))) {
                return;
            }
            e->resources = list;
            USHORT command = 0x0106;
            HalSetBusDataByOffset(PCIConfiguration, 0, slot.u.AsULONG, &command, 4, 2);
            ULONG level = 0;
            ULONG vector = 0;
            PCM_PARTIAL_RESOURCE_LIST partial = &list->List[0].PartialResourceList;
            for (ULONG i = 0; i < partial->Count; ++i) {
                PCM_PARTIAL_RESOURCE_DESCRIPTOR d = &partial->PartialDescriptors[i];
                if (d->Type == CmResourceTypeMemory && e->registers == nullptr) {
                    ULONG space = 0;
                    PHYSICAL_ADDRESS translated;
                    if (HalTranslateBusAddress(PCIBus, 0, d->u.Memory.Start, &space, &translated)) {
                        e->register_phys = translated;
                        e->register_length = d->u.Memory.Length;
                        e->registers = static_cast<volatile ULONG*>(
                            MmMapIoSpace(translated, d->u.Memory.Length, MmNonCached));
                    }
                } else if (d->Type == CmResourceTypeInterrupt) {
                    level = d->u.Interrupt.Level;
                    vector = d->u.Interrupt.Vector;
                }
            }
            if (e->registers == nullptr || level == 0) {
                return;
            }
            KIRQL irql;
            KAFFINITY affinity;
            const ULONG system_vector =
                HalGetInterruptVector(PCIBus, 0, level, vector, &irql, &affinity);
            KeInitializeDpc(&e->dpc, deferred, e);
            if (system_vector != 0 &&
                NT_SUCCESS(IoConnectInterrupt(&e->interrupt, service_interrupt, e, nullptr,
                                              system_vector, irql, irql, LevelSensitive, TRUE,
                                              affinity, FALSE))) {
                e->counts[kChip] = 1;
            }
            return;
        }
    }
}

VOID NTAPI unload(PDRIVER_OBJECT driver) {
    __atomic_store_n(&g_unloading, 1, __ATOMIC_RELEASE);
    Extension* e = ext(g_device);
    if (!(g_careless & NTEST_KEEP_VIEW)) {
        unmap_registers(e);
    }
    if (!(g_careless & NTEST_NO_FLUSH)) {
        KeFlushQueuedDpcs();
    }
    if (e->interrupt != nullptr) {
        IoDisconnectInterrupt(e->interrupt);
    }
    if (e->registers != nullptr) {
        MmUnmapIoSpace(const_cast<ULONG*>(e->registers), e->register_length);
    }
    if (e->resources != nullptr) {
        IoReportResourceUsage(nullptr, driver, nullptr, 0, g_device, nullptr, 0, FALSE, nullptr);
        ExFreePool(e->resources);
    }
    IoFreeWorkItem(e->work);
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, u"\\DosDevices\\NtTest0");
    IoDeleteSymbolicLink(&link);
    IoUnregisterShutdownNotification(g_device);
    IoDeleteDevice(g_device);
    g_device = nullptr;
}

// Reads a DWORD of the service's Parameters key (0 when absent).
ULONG parameter(PUNICODE_STRING registry_path, PCWSTR value_name) {
    WCHAR path[256];
    UNICODE_STRING key_name{0, sizeof path, path};
    RtlCopyUnicodeString(&key_name, registry_path);
    RtlAppendUnicodeToString(&key_name, u"\\Parameters");
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &key_name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE key;
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &oa))) {
        return 0;
    }
    UNICODE_STRING value;
    RtlInitUnicodeString(&value, value_name);
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    ULONG got = 0;
    ULONG bytes = 0;
    if (NT_SUCCESS(ZwQueryValueKey(key, &value, KeyValuePartialInformation, buffer, sizeof buffer,
                                   &got))) {
        auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
        if (info->Type == REG_DWORD && info->DataLength == sizeof(ULONG)) {
            RtlCopyMemory(&bytes, info->Data, sizeof(ULONG));
        }
    }
    ZwClose(key);
    return bytes;
}

} // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\NtTest0");
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(Extension), &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Extension* e = ext(g_device);
    RtlZeroMemory(e, sizeof(Extension));
    KeInitializeSpinLock(&e->lock);
    e->work = IoAllocateWorkItem(g_device);
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, u"\\DosDevices\\NtTest0");
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoFreeWorkItem(e->work);
        IoDeleteDevice(g_device);
        return status;
    }
    for (ULONG i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; ++i) {
        driver->MajorFunction[i] = dispatch_other;
    }
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_control;
    driver->DriverUnload = unload;
    g_device->Flags |= DO_BUFFERED_IO;
    IoRegisterShutdownNotification(g_device);
    start_chip(driver, registry_path, e);
    g_careless = parameter(registry_path, NTEST_CARELESS_VALUE);
    g_unloading = 0;
    if (const ULONG leak = parameter(registry_path, NTEST_LEAK_VALUE)) {
        ExAllocatePoolWithTag(NonPagedPool, leak, 0x6B61654C /* "Leak" */);
    }
    if (const ULONG fail = parameter(registry_path, NTEST_FAIL_VALUE)) {
        return static_cast<NTSTATUS>(fail);
    }
    return STATUS_SUCCESS;
}
