// The I/O manager's internals shared with the loader, the object manager and user-mode I/O.
#pragma once

#include "nt/io.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tolm_nt {

// ---- Names ------------------------------------------------------------------------------------
// A device by its full name ("\Device\X") or through a symbolic link ("\??\X", "\DosDevices\X");
// case-insensitive. Null when there is none (or it is being deleted).
PDEVICE_OBJECT find_device(std::string_view name);

// ---- Requests -----------------------------------------------------------------------------------
// Allocates a request whose final completion (after every completion routine) calls
// `on_complete`; the request is freed after it returns.
PIRP allocate_irp(CCHAR stack_size, std::function<void(PIRP)> on_complete);

// The result of a request the kernel sent and waited for.
struct SyncResult {
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
};

// ---- Open files --------------------------------------------------------------------------------
// An open of a device. cleanup() sends IRP_MJ_CLEANUP (once; the last handle was closed);
// destroying it (when no request holds it any more) sends IRP_MJ_CLOSE.
class OpenFile {
public:
    OpenFile(PDEVICE_OBJECT device, PFILE_OBJECT file) : device_(device), file_(file) {}
    ~OpenFile();
    void cleanup();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    PDEVICE_OBJECT device() const { return device_; }
    PFILE_OBJECT file() const { return file_; }

private:
    PDEVICE_OBJECT device_;
    PFILE_OBJECT file_;
    bool cleaned_ = false;
};

// Opens `device` (IRP_MJ_CREATE); on failure returns the driver's status and no file.
NTSTATUS open_device(PDEVICE_OBJECT device, ACCESS_MASK access, std::shared_ptr<OpenFile>& out);

// Sends a request to the device's driver: `setup` fills the first stack location and the
// buffers; `on_complete` sees the request once it is complete (possibly on another thread).
// Returns what the dispatch routine returned (STATUS_PENDING when it pended).
NTSTATUS submit(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major,
                const std::function<void(PIRP, PIO_STACK_LOCATION)>& setup,
                std::function<void(PIRP)> on_complete);
// As submit, waiting for the completion.
SyncResult submit_and_wait(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major,
                           const std::function<void(PIRP, PIO_STACK_LOCATION)>& setup,
                           std::function<void(PIRP)> on_complete = {});

// ---- Drivers -----------------------------------------------------------------------------------
// Open files on a driver's devices (a driver with open files cannot be stopped).
std::size_t open_files_of(PDRIVER_OBJECT driver);
// Removes what an unloaded driver left behind; returns the counts.
std::size_t delete_devices_of(PDRIVER_OBJECT driver);
std::size_t delete_links_of(void* module);
// Clears DO_DEVICE_INITIALIZING on the driver's devices once DriverEntry returned.
void finish_initializing(PDRIVER_OBJECT driver);

// ---- Object references (ObReferenceObject / ObDereferenceObject) ------------------------------
// Enters `body` with one reference kept alive by `owner`; the last dereference drops the owner.
void ob_insert(void* body, std::shared_ptr<void> owner);

} // namespace tolm_nt
