// Open and close: port access for the process, and per open the user views of the
// frame-descriptor table and of the register window.
#include "chip_device.h"

#include <new>

namespace tarvo {
namespace {

void GrantIoPermission(bool enable) {
    DriverState& state = driver_state();
    if (!enable || state.io_permission_map == nullptr) {
        return;
    }
    Ke386SetIoAccessMap(1, reinterpret_cast<PKIO_ACCESS_MAP>(state.io_permission_map));
    Ke386IoSetAccessProcess(IoGetCurrentProcess(), 1);
}

void destroy_open(OpenContext* open) {
    if (open->table_user != nullptr) {
        open->table_lock.unmap_user(open->table_user);
        open->table_user = nullptr;
    }
    open->table_lock.free();
    open->registers.unmap();
    open->~OpenContext();
    ddk::release(open);
}

} // namespace

NTSTATUS ChipDevice::Create(PIRP irp) {
    GrantIoPermission(true);
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (has_hardware() && chip_->table != nullptr && file != nullptr) {
        void* block = ddk::allocate(NonPagedPool, sizeof(OpenContext));
        if (block != nullptr) {
            auto* open = new (block) OpenContext();
            const ULONG table_bytes = sizeof(TARVO_FRAME_DESCRIPTOR) * kMaxBuffers;
            if (NT_SUCCESS(open->table_lock.create(chip_->table, table_bytes))) {
                open->table_lock.describe_nonpaged();
                PVOID view = open->table_lock.map_user();
                if (view != nullptr) {
                    open->table_user =
                        static_cast<PUCHAR>(PAGE_ALIGN(view)) + BYTE_OFFSET(chip_->table);
                }
            }
            // Every buffer goes back to the chip.
            for (ULONG i = 0; i < kMaxBuffers; ++i) {
                chip_->table[i].error = 0;
                __atomic_store_n(&chip_->table[i].ready, 0u, __ATOMIC_RELEASE);
            }
            open->registers.map(registers_.physical(), registers_.length(), registers_.io_space());
            file->FsContext = open;
        }
    }
    ddk::complete(irp, STATUS_SUCCESS, 0);
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::Close(PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (file != nullptr && file->FsContext != nullptr) {
        destroy_open(static_cast<OpenContext*>(file->FsContext));
        file->FsContext = nullptr;
    }
    ddk::complete(irp, STATUS_SUCCESS, 0);
    return STATUS_SUCCESS;
}

} // namespace tarvo
