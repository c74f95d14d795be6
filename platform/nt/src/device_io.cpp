// User-mode device I/O: "\\.\Name" opens, control requests, reads and writes, close.
#include "platform/io_object.h"
#include "platform/sync.h"
#include "win32/devio.h"
#include "win32/errors.h"
#include "win32/synch.h"

#include "nt/io.h"
#include "nt/seh.h"

#include "io_internal.h"
#include "kernel.h"
#include "loader.h"
#include "pool.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>

namespace tolm_nt {
namespace {

// The outcome of one request, shared by the caller and the completion.
struct Call {
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
    NTSTATUS status = STATUS_PENDING;
    ULONG_PTR information = 0;
};

class DeviceHandle : public platform::IoObject {
public:
    DeviceHandle(std::shared_ptr<OpenFile> open, bool overlapped)
        : open_(std::move(open)), overlapped_(overlapped) {}

    DWORD read(void* buffer, DWORD size, DWORD& done, OVERLAPPED* ov) override {
        return transfer(IRP_MJ_READ, buffer, size, done, ov);
    }
    DWORD write(const void* buffer, DWORD size, DWORD& done, OVERLAPPED* ov) override {
        return transfer(IRP_MJ_WRITE, const_cast<void*>(buffer), size, done, ov);
    }
    void on_close() override {
        std::shared_ptr<OpenFile> open = std::move(open_);
        if (open) {
            open->cleanup(); // the close follows once no request holds the open
        }
    }

    DWORD control(DWORD code, void* in, DWORD in_size, void* out, DWORD out_size, DWORD& done,
                  OVERLAPPED* ov);

private:
    DWORD transfer(UCHAR major, void* buffer, DWORD size, DWORD& done, OVERLAPPED* ov);
    // Sends one request with its buffers; `copy_back` receives buffered output.
    DWORD send(UCHAR major, void* system_buffer, PMDL mdl, void* user_buffer, void* copy_back,
               DWORD copy_size, OVERLAPPED* ov, DWORD& done,
               const std::function<void(PIO_STACK_LOCATION)>& parameters);
    // Sends the request and waits unless it pends on an overlapped handle.
    DWORD finish(NTSTATUS submitted, const std::shared_ptr<Call>& call, OVERLAPPED* ov,
                 DWORD& done);

    std::shared_ptr<OpenFile> open_;
    const bool overlapped_;
};

// Describes and locks a user buffer for a direct transfer; null (ERROR_NOACCESS) on a bad range.
PMDL lock_user_buffer(void* buffer, DWORD size, LOCK_OPERATION operation) {
    PMDL mdl = IoAllocateMdl(buffer, size, FALSE, FALSE, nullptr);
    if (mdl == nullptr) {
        return nullptr;
    }
    try {
        MmProbeAndLockPages(mdl, UserMode, operation);
    } catch (const NtException&) {
        IoFreeMdl(mdl);
        return nullptr;
    }
    return mdl;
}

void release_buffers(PIRP irp, void* system_buffer) {
    if (irp->MdlAddress != nullptr) {
        MmUnlockPages(irp->MdlAddress);
        IoFreeMdl(irp->MdlAddress);
        irp->MdlAddress = nullptr;
    }
    if (system_buffer != nullptr) {
        free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
    }
}

// Records the completion in the call and in the caller's OVERLAPPED, wakes a GetOverlappedResult
// waiting on it, then sets its event. The OVERLAPPED may be gone once its status is stored (a
// caller without an event sees it and returns), so its event is read first.
void complete_call(const std::shared_ptr<Call>& call, PIRP irp, OVERLAPPED* ov) {
    {
        std::lock_guard lock(call->mutex);
        call->status = irp->IoStatus.Status;
        call->information = irp->IoStatus.Information;
        call->done = true;
    }
    if (ov != nullptr) {
        const HANDLE event = ov->hEvent;
        ov->InternalHigh = irp->IoStatus.Information;
        std::atomic_ref<ULONG_PTR> internal(ov->Internal);
        internal.store(static_cast<ULONG_PTR>(static_cast<ULONG>(irp->IoStatus.Status)),
                       std::memory_order_release);
        internal.notify_all();
        if (event != nullptr) {
            platform::signal_event(event);
        }
    }
    call->done_cv.notify_all();
}

// The end of a request: buffered output goes back to `out` only for a status that is no error
// and never more than `out_size` bytes; then the buffers go and the caller hears of it.
void finish_request(PIRP irp, void* system_buffer, void* out, DWORD out_size,
                    const std::shared_ptr<Call>& call, OVERLAPPED* ov) {
    if (out != nullptr && system_buffer != nullptr && !NT_ERROR(irp->IoStatus.Status)) {
        if (irp->IoStatus.Information > out_size) {
            irp->IoStatus.Information = out_size;
        }
        if (!copy_to_user(out, system_buffer, irp->IoStatus.Information)) {
            irp->IoStatus.Status = STATUS_ACCESS_VIOLATION;
            irp->IoStatus.Information = 0;
        }
    }
    release_buffers(irp, system_buffer);
    complete_call(call, irp, ov);
}

DWORD DeviceHandle::finish(NTSTATUS submitted, const std::shared_ptr<Call>& call, OVERLAPPED* ov,
                           DWORD& done) {
    done = 0;
    if (submitted == STATUS_PENDING) {
        std::unique_lock lock(call->mutex);
        if (!call->done && ov != nullptr && overlapped_) {
            return ERROR_IO_PENDING;
        }
        call->done_cv.wait(lock, [&] { return call->done; });
    }
    std::lock_guard lock(call->mutex);
    if (!call->done) { // the request could not be sent
        return win32_error(submitted);
    }
    if (!NT_ERROR(call->status)) {
        done = static_cast<DWORD>(call->information);
    }
    return NT_SUCCESS(call->status) ? ERROR_SUCCESS : win32_error(call->status);
}

DWORD DeviceHandle::control(DWORD code, void* in, DWORD in_size, void* out, DWORD out_size,
                            DWORD& done, OVERLAPPED* ov) {
    done = 0;
    if (!open_) {
        return ERROR_INVALID_HANDLE;
    }
    const ULONG method = code & 3;
    void* system_buffer = nullptr;
    const DWORD buffered = method == METHOD_BUFFERED  ? (in_size > out_size ? in_size : out_size)
                           : method == METHOD_NEITHER ? 0
                                                      : in_size;
    if (buffered != 0) {
        system_buffer =
            allocate_block(BlockKind::Pool, NonPagedPool, buffered, 0x20206F49, nullptr);
        if (system_buffer == nullptr) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        // The output must be there (its writability shows when it is copied back); the input is
        // copied in and only the rest of the buffer zeroed.
        const bool ok =
            (method != METHOD_BUFFERED || copy_from_user(system_buffer, out, out_size)) &&
            copy_from_user(system_buffer, in, in_size);
        if (ok && buffered > in_size) {
            std::memset(static_cast<char*>(system_buffer) + in_size, 0, buffered - in_size);
        }
        if (!ok) {
            free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
            return ERROR_NOACCESS;
        }
    } else if (method == METHOD_NEITHER && in_size != 0 && in == nullptr) {
        return ERROR_NOACCESS;
    }
    PMDL mdl = nullptr;
    if ((method == METHOD_IN_DIRECT || method == METHOD_OUT_DIRECT) && out_size != 0) {
        mdl = lock_user_buffer(out, out_size,
                               method == METHOD_IN_DIRECT ? IoReadAccess : IoWriteAccess);
        if (mdl == nullptr) {
            if (system_buffer != nullptr) {
                free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
            }
            return ERROR_NOACCESS;
        }
    }
    return send(IRP_MJ_DEVICE_CONTROL, system_buffer, mdl, out,
                method == METHOD_BUFFERED ? out : nullptr, out_size, ov, done,
                [&](PIO_STACK_LOCATION s) {
                    s->Parameters.DeviceIoControl.IoControlCode = code;
                    s->Parameters.DeviceIoControl.InputBufferLength = in_size;
                    s->Parameters.DeviceIoControl.OutputBufferLength = out_size;
                    s->Parameters.DeviceIoControl.Type3InputBuffer =
                        method == METHOD_NEITHER ? in : nullptr;
                });
}

DWORD DeviceHandle::transfer(UCHAR major, void* buffer, DWORD size, DWORD& done, OVERLAPPED* ov) {
    done = 0;
    if (!open_) {
        return ERROR_INVALID_HANDLE;
    }
    const bool reading = major == IRP_MJ_READ;
    PDEVICE_OBJECT device = open_->device();
    void* system_buffer = nullptr;
    PMDL mdl = nullptr;
    if (size != 0 && (device->Flags & DO_BUFFERED_IO)) {
        system_buffer = allocate_block(BlockKind::Pool, NonPagedPool, size, 0x20206F49, nullptr);
        if (system_buffer == nullptr) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        if (!copy_from_user(system_buffer, buffer, size)) { // a read checks its buffer is there
            free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
            return ERROR_NOACCESS;
        }
    } else if (size != 0 && (device->Flags & DO_DIRECT_IO)) {
        mdl = lock_user_buffer(buffer, size, reading ? IoWriteAccess : IoReadAccess);
        if (mdl == nullptr) {
            return ERROR_NOACCESS;
        }
    }
    LARGE_INTEGER offset;
    offset.QuadPart = ov != nullptr ? (LONGLONG(ov->OffsetHigh) << 32 | ov->Offset) : 0;
    return send(major, system_buffer, mdl, buffer, reading ? buffer : nullptr, size, ov, done,
                [&](PIO_STACK_LOCATION s) {
                    s->Parameters.Read.Length = size;
                    s->Parameters.Read.ByteOffset = offset;
                });
}

DWORD DeviceHandle::send(UCHAR major, void* system_buffer, PMDL mdl, void* user_buffer,
                         void* copy_back, DWORD copy_size, OVERLAPPED* ov, DWORD& done,
                         const std::function<void(PIO_STACK_LOCATION)>& parameters) {
    if (ov != nullptr) {
        ov->Internal = static_cast<ULONG>(STATUS_PENDING);
        ov->InternalHigh = 0;
    }
    auto call = std::make_shared<Call>();
    std::shared_ptr<OpenFile> keep = open_;
    const NTSTATUS submitted = submit(
        open_->device(), open_->file(), major,
        [&](PIRP irp, PIO_STACK_LOCATION s) {
            irp->RequestorMode = UserMode;
            irp->AssociatedIrp.SystemBuffer = system_buffer;
            irp->MdlAddress = mdl;
            irp->UserBuffer = user_buffer;
            parameters(s);
        },
        [=](PIRP irp) {
            finish_request(irp, system_buffer, copy_back, copy_size, call, ov);
            (void)keep;
        });
    if (submitted == STATUS_INSUFFICIENT_RESOURCES && !call->done) {
        if (mdl != nullptr) {
            MmUnlockPages(mdl);
            IoFreeMdl(mdl);
        }
        if (system_buffer != nullptr) {
            free_block(BlockKind::Pool, system_buffer, 0, false, "request buffer");
        }
    }
    return finish(submitted, call, ov, done);
}

HANDLE open_by_name(std::string_view name, DWORD access, DWORD flags) {
    platform::nt::boot();
    PDEVICE_OBJECT device = find_device("\\??\\" + std::string(name));
    if (device == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<OpenFile> open;
    const NTSTATUS status = open_device(device, access, open);
    if (!NT_SUCCESS(status)) {
        SetLastError(win32_error(status));
        return INVALID_HANDLE_VALUE;
    }
    return platform::make_handle(
        std::make_shared<DeviceHandle>(std::move(open), (flags & FILE_FLAG_OVERLAPPED) != 0));
}

// Installs the opener when the library loads.
const struct OpenerInstaller {
    OpenerInstaller() { platform::set_device_opener(open_by_name); }
} installer;

} // namespace
} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out,
                            DWORD out_size, LPDWORD returned, LPOVERLAPPED ov) {
    const auto handle = platform::lookup_handle_as<DeviceHandle>(device);
    if (!handle) {
        SetLastError(platform::lookup_handle(device) ? ERROR_INVALID_FUNCTION
                                                     : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD done = 0;
    const DWORD error = handle->control(code, in, in_size, out, out_size, done, ov);
    if (returned != nullptr) {
        *returned = done;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait) {
    const auto object = platform::lookup_handle(file);
    if (ov == nullptr || !object) {
        SetLastError(ov == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!std::dynamic_pointer_cast<DeviceHandle>(object)) {
        // File transfers are complete when their call returns; Internal holds a Win32 error.
        if (transferred != nullptr) {
            *transferred = static_cast<DWORD>(ov->InternalHigh);
        }
        if (ov->Internal != ERROR_SUCCESS) {
            SetLastError(static_cast<DWORD>(ov->Internal));
            return FALSE;
        }
        return TRUE;
    }
    std::atomic_ref<ULONG_PTR> internal(ov->Internal);
    constexpr auto kPending = static_cast<ULONG_PTR>(static_cast<ULONG>(STATUS_PENDING));
    if (internal.load(std::memory_order_acquire) == kPending) {
        if (!wait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        if (ov->hEvent != nullptr) {
            WaitForSingleObject(ov->hEvent, INFINITE);
        }
        // Without an event (or with one set by someone else) the status itself is waited on:
        // the completion stores it, then wakes this wait.
        for (ULONG_PTR now = internal.load(std::memory_order_acquire); now == kPending;
             now = internal.load(std::memory_order_acquire)) {
            internal.wait(now, std::memory_order_acquire);
        }
    }
    const auto status = static_cast<NTSTATUS>(ov->Internal);
    if (transferred != nullptr) {
        *transferred = NT_ERROR(status) ? 0 : static_cast<DWORD>(ov->InternalHigh);
    }
    if (!NT_SUCCESS(status)) {
        SetLastError(win32_error(status));
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
