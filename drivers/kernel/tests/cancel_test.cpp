// Cancellation of queued requests, sent by a kernel-mode caller as another driver would: a
// request cancelled before it is queued completes once with STATUS_CANCELLED, and a cancel that
// arrives while StartIo completes the request finds nothing to cancel.
#include "driver_fixture.h"

#include <ntddk.h>

namespace tarvo_test {
namespace {

struct Completion {
    int calls = 0;
    NTSTATUS status = STATUS_PENDING;
    bool cancel_inside = false;
    BOOLEAN cancel_result = TRUE;
};

NTSTATUS NTAPI on_complete(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* c = static_cast<Completion*>(context);
    ++c->calls;
    c->status = irp->IoStatus.Status;
    if (c->cancel_inside) {
        c->cancel_result = IoCancelIrp(irp);
    }
    return STATUS_MORE_PROCESSING_REQUIRED; // the caller frees its request
}

struct CancelCase {
    const char* name;
    bool cancel_before;
    bool cancel_inside;
    NTSTATUS status;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

class CancelTest : public DriverTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, EveryReadCompletesExactlyOnce) {
    const CancelCase& k = GetParam();
    make_machine(BoardsOf({1}));
    ASSERT_TRUE(start());
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Device\\TarvoDevice0");
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoGetDeviceObjectPointer(&name, FILE_ALL_ACCESS, &file, &device), STATUS_SUCCESS);
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    ASSERT_NE(irp, nullptr);
    PIO_STACK_LOCATION s = IoGetNextIrpStackLocation(irp);
    s->MajorFunction = IRP_MJ_READ;
    s->Parameters.Read.Length = 16;
    s->FileObject = file;
    Completion c;
    c.cancel_inside = k.cancel_inside;
    IoSetCompletionRoutine(irp, on_complete, &c, TRUE, TRUE, TRUE);
    irp->Cancel = k.cancel_before ? TRUE : FALSE;
    IoCallDriver(device, irp);
    EXPECT_EQ(c.calls, 1);
    EXPECT_EQ(c.status, k.status);
    if (k.cancel_inside) {
        EXPECT_FALSE(c.cancel_result); // StartIo's request is no longer cancelable
    }
    IoFreeIrp(irp);
    ObDereferenceObject(file);
    stop_and_check_clean();
}

INSTANTIATE_TEST_SUITE_P(
    Reads, CancelTest,
    ::testing::Values(CancelCase{"CancelledBeforeQueued", true, false, STATUS_CANCELLED},
                      CancelCase{"CancelDuringStartIo", false, true, STATUS_SUCCESS},
                      CancelCase{"NotCancelled", false, false, STATUS_SUCCESS}),
    [](const auto& info) { return std::string(info.param.name); });

// Reads sent while another is being served wait in the queue; the cleanup of one open cancels
// only that open's waiting reads, and the other open's read is served after it.
struct Waiting {
    PDEVICE_OBJECT device = nullptr;
    PFILE_OBJECT files[2] = {};
    PIRP reads[2] = {};
    Completion done[2];
    NTSTATUS cleanup = STATUS_PENDING;
    bool sent = false;
};

PIRP make_request(PDEVICE_OBJECT device, PFILE_OBJECT file, UCHAR major) {
    PIRP irp = IoAllocateIrp(device->StackSize, FALSE);
    PIO_STACK_LOCATION s = IoGetNextIrpStackLocation(irp);
    s->MajorFunction = major;
    s->Parameters.Read.Length = 16;
    s->FileObject = file;
    return irp;
}

// Completion of the first read: StartIo is still busy with it, so the two reads wait; then the
// first open is cleaned up.
NTSTATUS NTAPI send_while_busy(PDEVICE_OBJECT, PIRP, PVOID context) {
    auto* w = static_cast<Waiting*>(context);
    if (w->sent) {
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
    w->sent = true;
    for (int i = 0; i < 2; ++i) {
        w->reads[i] = make_request(w->device, w->files[i], IRP_MJ_READ);
        IoSetCompletionRoutine(w->reads[i], on_complete, &w->done[i], TRUE, TRUE, TRUE);
        EXPECT_EQ(IoCallDriver(w->device, w->reads[i]), STATUS_PENDING);
    }
    EXPECT_EQ(w->done[0].calls + w->done[1].calls, 0) << "both wait";
    PIRP cleanup = make_request(w->device, w->files[0], IRP_MJ_CLEANUP);
    w->cleanup = IoCallDriver(w->device, cleanup);
    IoFreeIrp(cleanup);
    EXPECT_EQ(w->done[0].calls, 1);
    EXPECT_EQ(w->done[0].status, STATUS_CANCELLED);
    EXPECT_EQ(w->done[1].calls, 0) << "the other open's read still waits";
    return STATUS_MORE_PROCESSING_REQUIRED;
}

TEST_F(DriverTest, CleanupCancelsOnlyItsOwnWaitingReads) {
    make_machine(BoardsOf({1}));
    ASSERT_TRUE(start());
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Device\\TarvoDevice0");
    Waiting w;
    for (PFILE_OBJECT& file : w.files) {
        ASSERT_EQ(IoGetDeviceObjectPointer(&name, FILE_ALL_ACCESS, &file, &w.device),
                  STATUS_SUCCESS);
    }
    PIRP first = make_request(w.device, w.files[1], IRP_MJ_READ);
    IoSetCompletionRoutine(first, send_while_busy, &w, TRUE, TRUE, TRUE);
    IoCallDriver(w.device, first);
    EXPECT_TRUE(w.sent);
    EXPECT_EQ(w.cleanup, STATUS_SUCCESS);
    EXPECT_EQ(w.done[0].calls, 1);
    EXPECT_EQ(w.done[1].calls, 1);
    EXPECT_EQ(w.done[1].status, STATUS_SUCCESS);
    IoFreeIrp(first);
    for (PIRP irp : w.reads) {
        IoFreeIrp(irp);
    }
    for (PFILE_OBJECT file : w.files) {
        ObDereferenceObject(file);
    }
    stop_and_check_clean();
}

} // namespace
} // namespace tarvo_test
