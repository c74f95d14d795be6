// Read, write, shutdown and cleanup requests, and the start of queued requests.
#include "chip_device.h"

namespace tarvo {

NTSTATUS ChipDevice::DispatchReadWrite(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG length = stack->MajorFunction == IRP_MJ_READ ? stack->Parameters.Read.Length
                                                             : stack->Parameters.Write.Length;
    if (length == 0) {
        ddk::complete(irp, STATUS_SUCCESS, 0);
        return STATUS_SUCCESS;
    }
    return queues_[0].insert(irp);
}

void ChipDevice::StartIo(PVOID owner, PIRP irp) {
    auto* device = static_cast<ChipDevice*>(owner);
    const UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    switch (major) {
    case IRP_MJ_READ:
    case IRP_MJ_WRITE:
        if (irp->MdlAddress != nullptr) {
            MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
        }
        irp->IoStatus.Information = 0;
        irp->IoStatus.Status = STATUS_SUCCESS;
        device->queues_[0].finish(irp);
        break;
    case IRP_MJ_DEVICE_CONTROL:
        break;
    default:
        irp->IoStatus.Information = 0;
        irp->IoStatus.Status = STATUS_INVALID_PARAMETER;
        device->queues_[0].finish(irp);
        break;
    }
}

NTSTATUS ChipDevice::Shutdown(PIRP irp) {
    ddk::complete(irp, STATUS_SUCCESS, 0);
    return STATUS_SUCCESS;
}

NTSTATUS ChipDevice::Cleanup(PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    for (ddk::RequestQueue& q : queues_) {
        q.cancel_file(file);
    }
    // The last handle of the open that registered the stream's buffers is gone (the process
    // may be ending and its pages with it): the stream ends. Other opens leave it alone.
    if (has_hardware() && file != nullptr) {
        bool owner = false;
        ddk::synchronized(interrupt(), [&] { owner = stream_file_ == file; });
        if (owner) {
            StopCapture();
        }
    }
    ddk::complete(irp, STATUS_SUCCESS, 0);
    return STATUS_SUCCESS;
}

} // namespace tarvo
