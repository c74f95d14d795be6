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
    make_machine(boards_of({1}));
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

} // namespace
} // namespace tarvo_test
