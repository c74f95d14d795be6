// A device request queue: waiting requests, the one being started, cancellation, and a work
// item for starting from above dispatch level.
#pragma once

#include "ddk.h"

namespace ddk {

class RequestQueue {
public:
    using StartIo = void (*)(PVOID owner, PIRP irp);

    RequestQueue() = default;
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    void initialize(PDEVICE_OBJECT device, StartIo start_io, PVOID owner);
    // Queues the request; returns STATUS_PENDING, or STATUS_CANCELLED when it was already
    // cancelled (it is then completed).
    NTSTATUS insert(PIRP irp);
    // StartIo's end: completes the request and starts the next waiting one.
    void finish(PIRP irp);
    // Cancels every waiting request of the file object.
    void cancel_file(PFILE_OBJECT file);
    bool busy() const { return busy_; }

private:
    static VOID NTAPI cancel_routine(PDEVICE_OBJECT device, PIRP irp);
    static VOID NTAPI work_routine(PDEVICE_OBJECT device, PVOID context);
    static RequestQueue*& owner_of(PIRP irp);
    // Under the lock: makes `irp` current and starts it (the lock is released on return).
    void start_locked(PIRP irp, KIRQL old);
    // Under the lock: the next waiting request whose cancel routine could still be taken back.
    PIRP next_waiting_locked();

    LIST_ENTRY waiting_{&waiting_, &waiting_};
    KSPIN_LOCK lock_ = 0;
    PIRP current_ = nullptr;
    bool busy_ = false;
    bool start_at_dispatch_ = true;
    bool cancelable_ = true;
    PIO_WORKITEM work_item_ = nullptr;
    PIRP work_irp_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
    StartIo start_io_ = nullptr;
    PVOID owner_ = nullptr;
};

} // namespace ddk
