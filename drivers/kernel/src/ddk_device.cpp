// Kernel support layer: the driver object, the base device class and its request routing, the
// exit list and the trace object.
#include "ddk.h"

#include <new>

namespace ddk {
namespace {

KDriver* the_driver = nullptr;

constexpr int kMaxExitRoutines = 8;
void (*exit_routines[kMaxExitRoutines])() = {};
int exit_count = 0;

// The debug message device's three entry points; the first registers a prefix.
struct TraceEntries {
    void(NTAPI* register_prefix)(PCUNICODE_STRING prefix);
    void(NTAPI* deregister_prefix)(PCUNICODE_STRING prefix);
    void(NTAPI* print)(PCUNICODE_STRING prefix, PCSTR text);
};
TraceEntries trace_entries{};
KString* trace_prefix = nullptr;
constexpr ULONG kTraceGetEntries = 0x222003;

} // namespace

KDriver* KDriver::create(PDRIVER_OBJECT system, PUNICODE_STRING registry_path) {
    void* block = allocate(NonPagedPool, sizeof(KDriver));
    if (block == nullptr) {
        return nullptr;
    }
    auto* driver = new (block) KDriver();
    driver->system_ = system;
    if (!NT_SUCCESS(driver->path_.copy(registry_path))) {
        driver->~KDriver();
        release(block);
        return nullptr;
    }
    the_driver = driver;
    return driver;
}

KDriver* KDriver::instance() {
    return the_driver;
}

void KDriver::destroy() {
    if (the_driver != nullptr) {
        the_driver->~KDriver();
        release(the_driver);
        the_driver = nullptr;
    }
}

void add_exit_routine(void (*routine)()) {
    if (exit_count < kMaxExitRoutines) {
        exit_routines[exit_count++] = routine;
    }
}

void run_exit_list() {
    while (exit_count > 0) {
        exit_routines[--exit_count]();
    }
}

void trace_start(PCWSTR prefix) {
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Device\\DebugMessageDevice");
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoGetDeviceObjectPointer(&name, FILE_ALL_ACCESS, &file, &device))) {
        return;
    }
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK io{};
    TraceEntries entries{};
    PIRP irp = IoBuildDeviceIoControlRequest(kTraceGetEntries, device, nullptr, 0, &entries,
                                             sizeof entries, TRUE, &event, &io);
    if (irp != nullptr) {
        NTSTATUS status = IoCallDriver(device, irp);
        if (status == STATUS_PENDING) {
            KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
            status = io.Status;
        }
        void* block = allocate(NonPagedPool, sizeof(KString));
        if (NT_SUCCESS(status) && entries.register_prefix != nullptr && block != nullptr) {
            trace_prefix = new (block) KString();
            if (NT_SUCCESS(trace_prefix->copy(prefix))) {
                trace_entries = entries;
                trace_entries.register_prefix(trace_prefix->get());
            }
        } else {
            release(block);
        }
    }
    ObDereferenceObject(file);
}

void trace_stop() {
    if (trace_prefix != nullptr) {
        if (trace_entries.deregister_prefix != nullptr) {
            trace_entries.deregister_prefix(trace_prefix->get());
        }
        trace_prefix->~KString();
        release(trace_prefix);
        trace_prefix = nullptr;
    }
    trace_entries = TraceEntries{};
}

void complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

NTSTATUS NTAPI route_request(PDEVICE_OBJECT device, PIRP irp) {
    auto* object = static_cast<KDevice*>(device->DeviceExtension);
    return object->Dispatch(irp);
}

// ---- Base device --------------------------------------------------------------------------------
KDevice::KDevice(PDEVICE_OBJECT device) : device_(device) {}

KDevice::~KDevice() {
    if (shutdown_registered_) {
        IoUnregisterShutdownNotification(device_);
    }
    if (link_created_) {
        IoDeleteSymbolicLink(link_.get());
    }
}

NTSTATUS KDevice::create_object(ULONG extension_size, PCWSTR base, ULONG unit,
                                PDEVICE_OBJECT& out) {
    KString name;
    NTSTATUS status = name.copy(u"\\Device\\");
    if (NT_SUCCESS(status)) {
        status = name.append(base);
    }
    if (NT_SUCCESS(status)) {
        status = name.append_decimal(unit);
    }
    if (!NT_SUCCESS(status)) {
        return status;
    }
    out = nullptr;
    status = IoCreateDevice(KDriver::instance()->system(), extension_size, name.get(),
                            FILE_DEVICE_UNKNOWN, 0, FALSE, &out);
    if (NT_SUCCESS(status)) {
        out->Flags |= DO_DIRECT_IO;
    }
    return status;
}

NTSTATUS KDevice::publish(PCWSTR base, ULONG unit, PCWSTR link_prefix) {
    NTSTATUS status = name_.copy(u"\\Device\\");
    if (NT_SUCCESS(status)) {
        status = name_.append(base);
    }
    if (NT_SUCCESS(status)) {
        status = name_.append_decimal(unit);
    }
    if (NT_SUCCESS(status)) {
        status = link_.copy(link_prefix);
    }
    if (NT_SUCCESS(status)) {
        status = link_.append(base);
    }
    if (NT_SUCCESS(status)) {
        status = link_.append_decimal(unit);
    }
    if (NT_SUCCESS(status)) {
        status = IoCreateSymbolicLink(link_.get(), name_.get());
        link_created_ = NT_SUCCESS(status);
    }
    if (NT_SUCCESS(status) && (KDriver::instance()->flags & 1) != 0) {
        shutdown_registered_ = NT_SUCCESS(IoRegisterShutdownNotification(device_));
    }
    device_->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    return status;
}

void KDevice::delete_device(KDevice* device) {
    PDEVICE_OBJECT object = device->device_;
    const bool in_device = device->marker_ == kMarkerInDevice;
    device->~KDevice();
    if (!in_device) {
        release(device);
    }
    IoDeleteDevice(object);
}

NTSTATUS KDevice::not_implemented(PIRP irp) {
    complete(irp, STATUS_NOT_IMPLEMENTED, 0);
    return STATUS_NOT_IMPLEMENTED;
}

NTSTATUS KDevice::Dispatch(PIRP irp) {
    using Operation = NTSTATUS (KDevice::*)(PIRP);
    // Major function codes 0 to 27 in order.
    static constexpr Operation kSlots[IRP_MJ_MAXIMUM_FUNCTION + 1] = {
        &KDevice::Create,
        &KDevice::CreateNamedPipe,
        &KDevice::Close,
        &KDevice::Read,
        &KDevice::Write,
        &KDevice::QueryInformation,
        &KDevice::SetInformation,
        &KDevice::QueryEa,
        &KDevice::SetEa,
        &KDevice::FlushBuffers,
        &KDevice::QueryVolumeInformation,
        &KDevice::SetVolumeInformation,
        &KDevice::DirectoryControl,
        &KDevice::FileSystemControl,
        &KDevice::DeviceControl,
        &KDevice::InternalDeviceControl,
        &KDevice::Shutdown,
        &KDevice::LockControl,
        &KDevice::Cleanup,
        &KDevice::CreateMailslot,
        &KDevice::QuerySecurity,
        &KDevice::SetSecurity,
        &KDevice::Power,
        &KDevice::SystemControl,
        &KDevice::DeviceChange,
        &KDevice::QueryQuota,
        &KDevice::SetQuota,
        &KDevice::PnP,
    };
    const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    if (major > IRP_MJ_MAXIMUM_FUNCTION) {
        return not_implemented(irp);
    }
    return (this->*kSlots[major])(irp);
}

} // namespace ddk
