// Device request queue. A request stops being cancelable before it becomes current, so a cancel
// that races with StartIo finds it gone from the waiting list and leaves its completion to
// StartIo: no request is ever completed twice.
#include "request_queue.h"

namespace ddk {

RequestQueue*& RequestQueue::owner_of(PIRP irp) {
    return *reinterpret_cast<RequestQueue**>(&irp->Tail.Overlay.DriverContext[0]);
}

RequestQueue::~RequestQueue() {
    if (work_item_ != nullptr) {
        IoFreeWorkItem(work_item_);
    }
}

void RequestQueue::initialize(PDEVICE_OBJECT device, StartIo start_io, PVOID owner) {
    InitializeListHead(&waiting_);
    KeInitializeSpinLock(&lock_);
    device_ = device;
    start_io_ = start_io;
    owner_ = owner;
    work_item_ = IoAllocateWorkItem(device);
}

NTSTATUS RequestQueue::insert(PIRP irp) {
    KIRQL old;
    KeAcquireSpinLock(&lock_, &old);
    owner_of(irp) = this;
    if (cancelable_) {
        IoSetCancelRoutine(irp, cancel_routine);
        if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
            KeReleaseSpinLock(&lock_, old);
            complete(irp, STATUS_CANCELLED, 0);
            return STATUS_CANCELLED;
        }
    }
    IoMarkIrpPending(irp);
    if (busy_) {
        InsertTailList(&waiting_, &irp->Tail.Overlay.ListEntry);
        KeReleaseSpinLock(&lock_, old);
        return STATUS_PENDING;
    }
    if (cancelable_ && IoSetCancelRoutine(irp, nullptr) == nullptr) {
        // Its cancel routine is running and waits for the lock: leave the request to it.
        InsertTailList(&waiting_, &irp->Tail.Overlay.ListEntry);
        KeReleaseSpinLock(&lock_, old);
        return STATUS_PENDING;
    }
    busy_ = true;
    start_locked(irp, old);
    return STATUS_PENDING;
}

void RequestQueue::start_locked(PIRP irp, KIRQL old) {
    current_ = irp;
    if (old > DISPATCH_LEVEL && work_item_ != nullptr) {
        work_irp_ = irp;
        KeReleaseSpinLock(&lock_, old);
        IoQueueWorkItem(work_item_, work_routine, DelayedWorkQueue, this);
        return;
    }
    KeReleaseSpinLock(&lock_, old);
    KIRQL level;
    KeRaiseIrql(DISPATCH_LEVEL, &level);
    start_io_(owner_, irp);
    KeLowerIrql(level);
}

VOID NTAPI RequestQueue::work_routine(PDEVICE_OBJECT, PVOID context) {
    auto* queue = static_cast<RequestQueue*>(context);
    KIRQL level;
    KeRaiseIrql(DISPATCH_LEVEL, &level);
    queue->start_io_(queue->owner_, queue->work_irp_);
    KeLowerIrql(level);
}

PIRP RequestQueue::next_waiting_locked() {
    for (PLIST_ENTRY e = waiting_.Flink; e != &waiting_; e = e->Flink) {
        PIRP irp = CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry);
        if (!cancelable_ || IoSetCancelRoutine(irp, nullptr) != nullptr) {
            RemoveEntryList(e);
            return irp;
        }
        // A request whose cancel already ran stays for its cancel routine.
    }
    return nullptr;
}

void RequestQueue::finish(PIRP irp) {
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    KIRQL old;
    KeAcquireSpinLock(&lock_, &old);
    if (current_ == irp) {
        current_ = nullptr;
    }
    PIRP next = next_waiting_locked();
    if (next == nullptr) {
        busy_ = false;
        KeReleaseSpinLock(&lock_, old);
        return;
    }
    start_locked(next, old);
}

VOID NTAPI RequestQueue::cancel_routine(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    RequestQueue* queue = owner_of(irp);
    KIRQL old;
    KeAcquireSpinLock(&queue->lock_, &old);
    // Only waiting requests carry a cancel routine: the current one gave it back before it
    // started.
    bool waiting = false;
    for (PLIST_ENTRY e = queue->waiting_.Flink; e != &queue->waiting_; e = e->Flink) {
        if (e == &irp->Tail.Overlay.ListEntry) {
            waiting = true;
            break;
        }
    }
    if (waiting) {
        RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    }
    KeReleaseSpinLock(&queue->lock_, old);
    if (waiting) {
        complete(irp, STATUS_CANCELLED, 0);
    }
}

void RequestQueue::cancel_file(PFILE_OBJECT file) {
    LIST_ENTRY cancelled;
    InitializeListHead(&cancelled);
    KIRQL old;
    KeAcquireSpinLock(&lock_, &old);
    for (PLIST_ENTRY e = waiting_.Flink; e != &waiting_;) {
        PIRP irp = CONTAINING_RECORD(e, IRP, Tail.Overlay.ListEntry);
        e = e->Flink;
        if (IoGetCurrentIrpStackLocation(irp)->FileObject == file &&
            IoSetCancelRoutine(irp, nullptr) != nullptr) {
            RemoveEntryList(&irp->Tail.Overlay.ListEntry);
            InsertTailList(&cancelled, &irp->Tail.Overlay.ListEntry);
        }
    }
    KeReleaseSpinLock(&lock_, old);
    while (!IsListEmpty(&cancelled)) {
        PIRP irp = CONTAINING_RECORD(RemoveHeadList(&cancelled), IRP, Tail.Overlay.ListEntry);
        complete(irp, STATUS_CANCELLED, 0);
    }
}

} // namespace ddk
