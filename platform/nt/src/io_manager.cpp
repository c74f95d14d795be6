// The I/O manager: device objects and their names, symbolic links, requests with stack
// locations, completion (exactly once), cancellation, shutdown notification and opens.
#include "io_internal.h"

#include "nt/seh.h"

#include "kernel.h"
#include "pool.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace tolm_nt {
namespace {

constexpr CSHORT kIoTypeDevice = 3;
constexpr CSHORT kIoTypeFile = 5;
constexpr CSHORT kIoTypeIrp = 6;
constexpr std::uint32_t kIrpMagic = 0x49525021;
#define CANCEL_STATE_IN_COMPLETED_IRP 0x00000048

struct DeviceInfo {
    std::string name; // "\Device\X" or empty
    int references = 0;
    int opens = 0;
    bool deleted = false;
};

struct Link {
    std::string name;   // as created
    std::string target; // device name
    void* module = nullptr;
};

std::recursive_mutex names_mutex;
std::map<PDEVICE_OBJECT, DeviceInfo>& devices() {
    static std::map<PDEVICE_OBJECT, DeviceInfo> d;
    return d;
}
std::map<std::string, Link>& links() {
    static std::map<std::string, Link> l;
    return l;
}
std::vector<PDEVICE_OBJECT>& shutdown_list() {
    static std::vector<PDEVICE_OBJECT> s;
    return s;
}

// "\DosDevices\X" and "\GLOBAL??\X" name the same link as "\??\X".
std::string link_key(std::string_view name) {
    std::string l = lower(name);
    for (const char* prefix : {"\\dosdevices\\", "\\global??\\"}) {
        const std::size_t n = std::strlen(prefix);
        if (l.compare(0, n, prefix) == 0) {
            return "\\??\\" + l.substr(n);
        }
    }
    return l;
}

void free_device_memory(PDEVICE_OBJECT device) {
    std::free(device);
}

struct IrpHeader {
    std::uint32_t magic;
    std::atomic<int> references;
    std::atomic<bool> completed;
    std::function<void(PIRP)> on_complete;
    std::atomic<bool> reclaimed{false};                     // a completion routine took it back
    std::atomic<NTSTATUS> completed_status{STATUS_PENDING}; // as the driver completed it
};

constexpr std::size_t kHeaderSize = (sizeof(IrpHeader) + 15) & ~std::size_t(15);

IrpHeader* header_of(PIRP irp, const char* routine) {
    auto* h = reinterpret_cast<IrpHeader*>(reinterpret_cast<char*>(irp) - kHeaderSize);
    if (irp == nullptr || h->magic != kIrpMagic) {
        bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x2000, reinterpret_cast<ULONG_PTR>(irp), 0,
                  0, std::string(routine) + ": not a request");
    }
    return h;
}

void release_irp(PIRP irp) {
    IrpHeader* h = header_of(irp, "release");
    if (h->references.fetch_sub(1) == 1) {
        h->magic = 0;
        h->~IrpHeader();
        std::free(h);
    }
}

KSPIN_LOCK cancel_lock = 0;

} // namespace

void take_device_reference(PDEVICE_OBJECT device) {
    std::lock_guard lock(names_mutex);
    ++devices()[device].references;
}

void release_device_reference(PDEVICE_OBJECT device) {
    bool free_it = false;
    {
        std::lock_guard lock(names_mutex);
        const auto it = devices().find(device);
        if (it == devices().end()) {
            return;
        }
        free_it = --it->second.references == 0 && it->second.deleted;
        if (free_it) {
            devices().erase(it);
        }
    }
    if (free_it) {
        free_device_memory(device);
    }
}

PDEVICE_OBJECT find_device(std::string_view name) {
    std::lock_guard lock(names_mutex);
    std::string target(name);
    const auto link = links().find(link_key(name));
    if (link != links().end()) {
        target = link->second.target;
    }
    const std::string key = lower(target);
    for (auto& [device, info] : devices()) {
        if (!info.deleted && !info.name.empty() && lower(info.name) == key) {
            return device;
        }
    }
    return nullptr;
}

PIRP allocate_irp(CCHAR stack_size, std::function<void(PIRP)> on_complete) {
    if (stack_size < 1) {
        stack_size = 1;
    }
    const std::size_t irp_size = sizeof(IRP) + std::size_t(stack_size) * sizeof(IO_STACK_LOCATION);
    void* block = std::calloc(1, kHeaderSize + irp_size);
    if (block == nullptr) {
        return nullptr;
    }
    auto* h = new (block)
        IrpHeader{kIrpMagic, {1}, {false}, std::move(on_complete), {false}, {STATUS_PENDING}};
    auto* irp = reinterpret_cast<PIRP>(reinterpret_cast<char*>(h) + kHeaderSize);
    irp->Type = kIoTypeIrp;
    irp->Size = static_cast<USHORT>(irp_size);
    irp->StackCount = stack_size;
    irp->CurrentLocation = static_cast<CCHAR>(stack_size + 1);
    auto* stack = reinterpret_cast<PIO_STACK_LOCATION>(irp + 1);
    irp->Tail.Overlay.CurrentStackLocation = stack + stack_size;
    irp->RequestorMode = UserMode;
    InitializeListHead(&irp->ThreadListEntry);
    return irp;
}

void OpenFile::cleanup() {
    if (!cleaned_) {
        cleaned_ = true;
        submit_and_wait(device_, file_, IRP_MJ_CLEANUP, [](PIRP, PIO_STACK_LOCATION) {});
    }
}

OpenFile::~OpenFile() {
    cleanup();
    submit_and_wait(device_, file_, IRP_MJ_CLOSE, [](PIRP, PIO_STACK_LOCATION) {});
    {
        std::lock_guard lock(names_mutex);
        --devices()[device_].opens;
    }
    delete file_;
    release_device_reference(device_);
}

NTSTATUS open_device(PDEVICE_OBJECT device, ACCESS_MASK access, std::shared_ptr<OpenFile>& out) {
    {
        std::lock_guard lock(names_mutex);
        DeviceInfo& info = devices()[device];
        if (info.deleted) {
            return STATUS_DELETE_PENDING;
        }
        if ((device->Flags & DO_EXCLUSIVE) && info.opens > 0) {
            return STATUS_ACCESS_DENIED;
        }
        ++info.opens;
        ++info.references;
    }
    auto* file = new FILE_OBJECT{};
    file->Type = kIoTypeFile;
    file->Size = sizeof(FILE_OBJECT);
    file->DeviceObject = device;
    file->ReadAccess = (access & (GENERIC_READ | FILE_READ_DATA)) != 0;
    file->WriteAccess = (access & (GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
    const SyncResult r =
        submit_and_wait(device, file, IRP_MJ_CREATE, [&](PIRP, PIO_STACK_LOCATION s) {
            s->Parameters.Create.Options = 1 << 24; // FILE_OPEN
            s->Parameters.Create.ShareAccess = 3;
        });
    if (!NT_SUCCESS(r.status)) {
        {
            std::lock_guard lock(names_mutex);
            --devices()[device].opens;
        }
        delete file;
        release_device_reference(device);
        return r.status;
    }
    // The last reference may go in a completion at raised level: the close then runs on a
    // thread of its own at passive level.
    out = std::shared_ptr<OpenFile>(new OpenFile(device, file), [](OpenFile* f) {
        if (irql() > PASSIVE_LEVEL) {
            std::thread([f] { delete f; }).detach();
        } else {
            delete f;
        }
    });
    return r.status;
}

NTSTATUS submit(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major,
                const std::function<void(PIRP, PIO_STACK_LOCATION)>& setup,
                std::function<void(PIRP)> on_complete) {
    PIRP irp = allocate_irp(device->StackSize, std::move(on_complete));
    if (irp == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    irp->Tail.Overlay.OriginalFileObject = file;
    irp->Tail.Overlay.Thread = PsGetCurrentThread();
    PIO_STACK_LOCATION s = IoGetNextIrpStackLocation(irp);
    s->MajorFunction = major;
    s->FileObject = file;
    setup(irp, s);
    return IoCallDriver(device, irp);
}

SyncResult submit_and_wait(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major,
                           const std::function<void(PIRP, PIO_STACK_LOCATION)>& setup,
                           std::function<void(PIRP)> on_complete) {
    struct Wait {
        std::mutex mutex;
        std::condition_variable done_cv;
        bool done = false;
        SyncResult result;
    };
    auto wait = std::make_shared<Wait>();
    const NTSTATUS status = submit(device, file, major, setup, [wait, on_complete](PIRP irp) {
        if (on_complete) {
            on_complete(irp);
        }
        std::lock_guard lock(wait->mutex);
        wait->result = {irp->IoStatus.Status, irp->IoStatus.Information};
        wait->done = true;
        wait->done_cv.notify_all();
    });
    if (status == STATUS_INSUFFICIENT_RESOURCES) {
        std::lock_guard lock(wait->mutex);
        if (!wait->done) {
            return {status, 0};
        }
    }
    std::unique_lock lock(wait->mutex);
    wait->done_cv.wait(lock, [&] { return wait->done; });
    return wait->result;
}

std::size_t open_files_of(PDRIVER_OBJECT driver) {
    std::lock_guard lock(names_mutex);
    std::size_t n = 0;
    for (const auto& [device, info] : devices()) {
        if (device->DriverObject == driver) {
            n += static_cast<std::size_t>(info.opens);
        }
    }
    return n;
}

std::size_t delete_devices_of(PDRIVER_OBJECT driver) {
    std::size_t n = 0;
    while (driver->DeviceObject != nullptr) {
        IoDeleteDevice(driver->DeviceObject);
        ++n;
    }
    return n;
}

std::size_t delete_links_of(void* module) {
    std::lock_guard lock(names_mutex);
    std::size_t n = 0;
    for (auto it = links().begin(); it != links().end();) {
        if (it->second.module == module) {
            it = links().erase(it);
            ++n;
        } else {
            ++it;
        }
    }
    return n;
}

void finish_initializing(PDRIVER_OBJECT driver) {
    for (PDEVICE_OBJECT d = driver->DeviceObject; d != nullptr; d = d->NextDevice) {
        d->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    }
}

} // namespace tolm_nt

namespace platform::nt {
void system_shutdown() {
    std::vector<PDEVICE_OBJECT> list;
    {
        std::lock_guard lock(tolm_nt::names_mutex);
        list = tolm_nt::shutdown_list();
    }
    for (PDEVICE_OBJECT d : list) {
        tolm_nt::submit_and_wait(d, nullptr, IRP_MJ_SHUTDOWN, [](PIRP, PIO_STACK_LOCATION) {});
    }
}
} // namespace platform::nt

using namespace tolm_nt;

extern "C" {

NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT driver, ULONG extension_size, PUNICODE_STRING name,
                              ULONG type, ULONG characteristics, BOOLEAN exclusive,
                              PDEVICE_OBJECT* out) {
    require_irql_at_most(PASSIVE_LEVEL, "IoCreateDevice");
    *out = nullptr;
    std::string text = narrow(name);
    if (!text.empty() && lower(text).compare(0, 8, "\\device\\") != 0) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    if (!text.empty() && text.size() == 8) {
        return STATUS_OBJECT_NAME_INVALID;
    }
    const std::size_t head = (sizeof(DEVICE_OBJECT) + 15) & ~std::size_t(15);
    void* block = std::calloc(1, head + extension_size);
    if (block == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    auto* d = static_cast<PDEVICE_OBJECT>(block);
    {
        std::lock_guard lock(names_mutex);
        if (!text.empty() && find_device(text) != nullptr) {
            std::free(block);
            return STATUS_OBJECT_NAME_COLLISION;
        }
        d->Type = kIoTypeDevice;
        d->Size = static_cast<USHORT>(head + extension_size);
        d->ReferenceCount = 0;
        d->DriverObject = driver;
        d->Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
        d->Characteristics = characteristics;
        d->DeviceExtension = extension_size != 0 ? static_cast<char*>(block) + head : nullptr;
        d->DeviceType = type;
        d->StackSize = 1;
        d->AlignmentRequirement = 0;
        d->NextDevice = driver->DeviceObject;
        driver->DeviceObject = d;
        DeviceInfo& info = devices()[d];
        info.name = text;
        info.references = 1; // the object itself, dropped by IoDeleteDevice
    }
    *out = d;
    return STATUS_SUCCESS;
}

VOID NTAPI IoDeleteDevice(PDEVICE_OBJECT device) {
    require_irql_at_most(PASSIVE_LEVEL, "IoDeleteDevice");
    {
        std::lock_guard lock(names_mutex);
        const auto it = devices().find(device);
        if (it == devices().end() || it->second.deleted) {
            bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x3000,
                      reinterpret_cast<ULONG_PTR>(device), 0, 0,
                      "IoDeleteDevice on an unknown or deleted device");
        }
        it->second.deleted = true;
        PDEVICE_OBJECT* p = &device->DriverObject->DeviceObject;
        while (*p != nullptr && *p != device) {
            p = &(*p)->NextDevice;
        }
        if (*p == device) {
            *p = device->NextDevice;
        }
        auto& s = shutdown_list();
        for (auto i = s.begin(); i != s.end();) {
            i = *i == device ? s.erase(i) : i + 1;
        }
    }
    release_device_reference(device);
}

NTSTATUS NTAPI IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING device) {
    require_irql_at_most(PASSIVE_LEVEL, "IoCreateSymbolicLink");
    const std::string name = narrow(link);
    const std::string key = link_key(name);
    if (key.compare(0, 4, "\\??\\") != 0 || key.size() == 4) {
        return STATUS_OBJECT_PATH_NOT_FOUND;
    }
    std::lock_guard lock(names_mutex);
    if (links().count(key) != 0) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    links()[key] = Link{name, narrow(device), module_of(__builtin_return_address(0))};
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI IoDeleteSymbolicLink(PUNICODE_STRING link) {
    require_irql_at_most(PASSIVE_LEVEL, "IoDeleteSymbolicLink");
    std::lock_guard lock(names_mutex);
    return links().erase(link_key(narrow(link))) != 0 ? STATUS_SUCCESS
                                                      : STATUS_OBJECT_NAME_NOT_FOUND;
}

NTSTATUS NTAPI IoGetDeviceObjectPointer(PUNICODE_STRING name, ACCESS_MASK access,
                                        PFILE_OBJECT* file, PDEVICE_OBJECT* device) {
    require_irql_at_most(PASSIVE_LEVEL, "IoGetDeviceObjectPointer");
    PDEVICE_OBJECT d = find_device(narrow(name));
    if (d == nullptr) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    std::shared_ptr<OpenFile> open;
    const NTSTATUS status = open_device(d, access, open);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    *file = open->file();
    *device = d;
    ob_insert(open->file(), open);
    return STATUS_SUCCESS;
}

PIRP NTAPI IoAllocateIrp(CCHAR stack_size, BOOLEAN) {
    require_irql_at_most(DISPATCH_LEVEL, "IoAllocateIrp");
    return allocate_irp(stack_size, {});
}

VOID NTAPI IoFreeIrp(PIRP irp) {
    release_irp(irp);
}

NTSTATUS NTAPI IoCallDriver(PDEVICE_OBJECT device, PIRP irp) {
    require_irql_at_most(DISPATCH_LEVEL, "IoCallDriver");
    IrpHeader* h = header_of(irp, "IoCallDriver");
    if (irp->CurrentLocation <= 1) {
        bug_check(NO_MORE_IRP_STACK_LOCATIONS, reinterpret_cast<ULONG_PTR>(irp), 0, 0, 0,
                  "IoCallDriver without a free stack location");
    }
    --irp->CurrentLocation;
    --irp->Tail.Overlay.CurrentStackLocation;
    PIO_STACK_LOCATION s = irp->Tail.Overlay.CurrentStackLocation;
    s->DeviceObject = device;
    h->references.fetch_add(1);
    // Released also when a bug check unwinds through here.
    struct Hold {
        PIRP irp;
        ~Hold() { release_irp(irp); }
    } hold{irp};
    const UCHAR major = s->MajorFunction;
    PDRIVER_DISPATCH routine =
        major <= IRP_MJ_MAXIMUM_FUNCTION ? device->DriverObject->MajorFunction[major] : nullptr;
    NTSTATUS status;
    if (routine == nullptr) {
        irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        irp->IoStatus.Information = 0;
        status = STATUS_INVALID_DEVICE_REQUEST;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    } else {
        const KIRQL before = irql();
        status = routine(device, irp);
        if (irql() != before) {
            bug_check(IRQL_NOT_LESS_OR_EQUAL, irql(), before, reinterpret_cast<ULONG_PTR>(routine),
                      0, "dispatch routine returned at another level");
        }
        if (status == STATUS_PENDING && (s->Control & SL_PENDING_RETURNED) == 0) {
            bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x3001, reinterpret_cast<ULONG_PTR>(irp),
                      0, 0, "STATUS_PENDING returned for a request not marked pending");
        }
        // A request the dispatch routine neither completed nor pended is lost: its caller
        // would wait for ever. One it completed must answer with the status it completed with.
        if (status != STATUS_PENDING && !h->reclaimed.load()) {
            if (!h->completed.load() && (s->Control & SL_PENDING_RETURNED) == 0) {
                bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x3002,
                          reinterpret_cast<ULONG_PTR>(irp), static_cast<ULONG>(status), 0,
                          "dispatch routine returned without completing or pending the request");
            }
            if (h->completed.load() && status != h->completed_status.load()) {
                bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x3003,
                          reinterpret_cast<ULONG_PTR>(irp), static_cast<ULONG>(status),
                          static_cast<ULONG>(h->completed_status.load()),
                          "dispatch routine returned a status other than the request's");
            }
        }
    }
    return status;
}

VOID NTAPI IoCompleteRequest(PIRP irp, CCHAR) {
    require_irql_at_most(DISPATCH_LEVEL, "IoCompleteRequest");
    IrpHeader* h = header_of(irp, "IoCompleteRequest");
    if (irp->IoStatus.Status == STATUS_PENDING) {
        bug_check(MULTIPLE_IRP_COMPLETE_REQUESTS, reinterpret_cast<ULONG_PTR>(irp), 1, 0, 0,
                  "request completed with STATUS_PENDING");
    }
    if (h->completed.exchange(true)) {
        bug_check(MULTIPLE_IRP_COMPLETE_REQUESTS, reinterpret_cast<ULONG_PTR>(irp), 0, 0, 0,
                  "request completed twice");
    }
    h->completed_status = irp->IoStatus.Status;
    if (irp->CancelRoutine != nullptr) {
        bug_check(CANCEL_STATE_IN_COMPLETED_IRP, reinterpret_cast<ULONG_PTR>(irp),
                  reinterpret_cast<ULONG_PTR>(irp->CancelRoutine), 0, 0,
                  "request completed with its cancel routine set");
    }
    while (irp->CurrentLocation <= irp->StackCount) {
        PIO_STACK_LOCATION s = irp->Tail.Overlay.CurrentStackLocation;
        irp->PendingReturned = (s->Control & SL_PENDING_RETURNED) != 0;
        const PIO_COMPLETION_ROUTINE routine = s->CompletionRoutine;
        const PVOID context = s->Context;
        const UCHAR control = s->Control;
        ++irp->CurrentLocation;
        ++irp->Tail.Overlay.CurrentStackLocation;
        const bool above = irp->CurrentLocation <= irp->StackCount;
        if (routine != nullptr) {
            const NTSTATUS st = irp->IoStatus.Status;
            const bool invoke = (NT_SUCCESS(st) && (control & SL_INVOKE_ON_SUCCESS)) ||
                                (!NT_SUCCESS(st) && (control & SL_INVOKE_ON_ERROR)) ||
                                (irp->Cancel && (control & SL_INVOKE_ON_CANCEL));
            if (invoke) {
                PDEVICE_OBJECT d =
                    above ? irp->Tail.Overlay.CurrentStackLocation->DeviceObject : nullptr;
                if (routine(d, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) {
                    h->completed = false; // the routine's owner completes or frees it again
                    h->reclaimed = true;
                    return;
                }
            }
        } else if (irp->PendingReturned && above) {
            IoMarkIrpPending(irp);
        }
    }
    std::function<void(PIRP)> done = std::move(h->on_complete);
    if (done) {
        done(irp);
        release_irp(irp);
    }
}

VOID NTAPI IoAcquireCancelSpinLock(PKIRQL old_irql) {
    KeAcquireSpinLock(&cancel_lock, old_irql);
}

VOID NTAPI IoReleaseCancelSpinLock(KIRQL irql_value) {
    KeReleaseSpinLock(&cancel_lock, irql_value);
}

BOOLEAN NTAPI IoCancelIrp(PIRP irp) {
    KIRQL old;
    IoAcquireCancelSpinLock(&old);
    irp->Cancel = TRUE;
    PDRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
    if (routine == nullptr) {
        IoReleaseCancelSpinLock(old);
        return FALSE;
    }
    irp->CancelIrql = old;
    routine(irp->Tail.Overlay.CurrentStackLocation->DeviceObject, irp);
    return TRUE;
}

NTSTATUS NTAPI IoRegisterShutdownNotification(PDEVICE_OBJECT device) {
    require_irql_at_most(PASSIVE_LEVEL, "IoRegisterShutdownNotification");
    std::lock_guard lock(names_mutex);
    shutdown_list().push_back(device);
    device->Flags |= DO_SHUTDOWN_REGISTERED;
    return STATUS_SUCCESS;
}

VOID NTAPI IoUnregisterShutdownNotification(PDEVICE_OBJECT device) {
    require_irql_at_most(PASSIVE_LEVEL, "IoUnregisterShutdownNotification");
    std::lock_guard lock(names_mutex);
    auto& s = shutdown_list();
    for (auto i = s.begin(); i != s.end();) {
        i = *i == device ? s.erase(i) : i + 1;
    }
    device->Flags &= ~static_cast<ULONG>(DO_SHUTDOWN_REGISTERED);
}

PIRP NTAPI IoBuildDeviceIoControlRequest(ULONG code, PDEVICE_OBJECT device, PVOID input,
                                         ULONG input_length, PVOID output, ULONG output_length,
                                         BOOLEAN internal, PKEVENT event,
                                         PIO_STATUS_BLOCK status_block) {
    require_irql_at_most(PASSIVE_LEVEL, "IoBuildDeviceIoControlRequest");
    const ULONG method = code & 3;
    void* system_buffer = nullptr;
    const ULONG size = input_length > output_length ? input_length : output_length;
    if ((method == METHOD_BUFFERED || method == METHOD_IN_DIRECT || method == METHOD_OUT_DIRECT) &&
        size != 0) {
        const ULONG n = method == METHOD_BUFFERED ? size : input_length;
        if (n != 0) {
            system_buffer = allocate_block(BlockKind::Pool, NonPagedPool, n, 0x20206F49, nullptr);
            if (system_buffer == nullptr) {
                return nullptr;
            }
            if (input != nullptr && input_length != 0) {
                std::memcpy(system_buffer, input, input_length);
            }
        }
    }
    PMDL mdl = nullptr;
    PIRP irp = allocate_irp(device->StackSize, [=](PIRP done) {
        if (method == METHOD_BUFFERED && system_buffer != nullptr && output != nullptr &&
            !NT_ERROR(done->IoStatus.Status)) {
            const ULONG_PTR n = done->IoStatus.Information < output_length
                                    ? done->IoStatus.Information
                                    : output_length;
            std::memcpy(output, system_buffer, n);
        }
        if (done->MdlAddress != nullptr) {
            if (done->MdlAddress->MdlFlags & MDL_PAGES_LOCKED) {
                MmUnlockPages(done->MdlAddress);
            }
            IoFreeMdl(done->MdlAddress);
            done->MdlAddress = nullptr;
        }
        if (system_buffer != nullptr) {
            free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
        }
        if (status_block != nullptr) {
            status_block->Status = done->IoStatus.Status;
            status_block->Information = done->IoStatus.Information;
        }
        if (event != nullptr) {
            KeSetEvent(event, IO_NO_INCREMENT, FALSE);
        }
    });
    if (irp == nullptr) {
        if (system_buffer != nullptr) {
            free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
        }
        return nullptr;
    }
    irp->RequestorMode = KernelMode;
    irp->AssociatedIrp.SystemBuffer = system_buffer;
    irp->UserBuffer = output;
    if ((method == METHOD_IN_DIRECT || method == METHOD_OUT_DIRECT) && output != nullptr &&
        output_length != 0) {
        mdl = IoAllocateMdl(output, output_length, FALSE, FALSE, irp);
        bool locked = false;
        if (mdl != nullptr) {
            try {
                MmProbeAndLockPages(mdl, KernelMode, IoWriteAccess);
                locked = true;
            } catch (const NtException&) {
            }
        }
        if (!locked) {
            irp->MdlAddress = nullptr;
            if (mdl != nullptr) {
                IoFreeMdl(mdl);
            }
            release_irp(irp); // runs no completion: frees only the request
            if (system_buffer != nullptr) {
                free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
            }
            return nullptr;
        }
    }
    PIO_STACK_LOCATION s = IoGetNextIrpStackLocation(irp);
    s->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    s->Parameters.DeviceIoControl.IoControlCode = code;
    s->Parameters.DeviceIoControl.InputBufferLength = input_length;
    s->Parameters.DeviceIoControl.OutputBufferLength = output_length;
    if (method == METHOD_NEITHER) {
        s->Parameters.DeviceIoControl.Type3InputBuffer = input;
    }
    return irp;
}

} // extern "C"
