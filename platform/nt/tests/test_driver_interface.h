// Control codes and records of the test driver (ntest.sys), shared by the driver and the tests.
#pragma once

#include "nt/ctl_code.h"

#include <cstdint>

#define NTEST_DEVICE_TYPE 0x8000
#define NTEST_CODE(f, m) CTL_CODE(NTEST_DEVICE_TYPE, 0x800 + (f), (m), FILE_ANY_ACCESS)

// In: FillRequest. Fills the whole system buffer with `fill` and completes with `status`
// and `information`.
#define IOCTL_NTEST_FILL NTEST_CODE(0, METHOD_BUFFERED)
// Pends the request (cancelable) until IOCTL_NTEST_RELEASE or cleanup.
#define IOCTL_NTEST_PEND NTEST_CODE(1, METHOD_BUFFERED)
// Completes the pended request with success; its output gets the 4 bytes of this input.
#define IOCTL_NTEST_RELEASE NTEST_CODE(2, METHOD_BUFFERED)
// Completes the request twice (a driver fault).
#define IOCTL_NTEST_COMPLETE_TWICE NTEST_CODE(3, METHOD_BUFFERED)
// In: LockRequest. Locks the buffer with an MDL; out: LockAnswer.
#define IOCTL_NTEST_LOCK NTEST_CODE(4, METHOD_BUFFERED)
#define IOCTL_NTEST_UNLOCK NTEST_CODE(5, METHOD_BUFFERED)
// Out: the user address of a view of the chip's register window (0 without a chip).
#define IOCTL_NTEST_MAP_REGISTERS NTEST_CODE(6, METHOD_BUFFERED)
#define IOCTL_NTEST_UNMAP_REGISTERS NTEST_CODE(7, METHOD_BUFFERED)
// Out: Counts.
#define IOCTL_NTEST_COUNTS NTEST_CODE(8, METHOD_BUFFERED)
// Out: SyncAnswer. Enables the chip's interrupt mask from inside KeSynchronizeExecution.
#define IOCTL_NTEST_SYNC NTEST_CODE(9, METHOD_BUFFERED)
// Queues a work item that counts in Counts::work_items.
#define IOCTL_NTEST_WORK NTEST_CODE(10, METHOD_BUFFERED)
// Queues the DPC (it counts in Counts::dpc when it starts).
#define IOCTL_NTEST_QUEUE_DPC NTEST_CODE(11, METHOD_BUFFERED)

struct FillRequest {
    std::int32_t status;
    std::uint32_t information;
    std::uint8_t fill;
};

struct LockRequest {
    std::uint64_t address;
    std::uint32_t length;
};

struct LockAnswer {
    std::uint32_t pages;
    std::uint32_t byte_offset;
    std::uint64_t pfn[64];
};

struct Counts {
    std::uint32_t isr;
    std::uint32_t isr_claimed;
    std::uint32_t dpc;
    std::uint32_t work_items;
    std::uint32_t shutdowns;
    std::uint32_t creates;
    std::uint32_t cleanups;
    std::uint32_t closes;
    std::uint32_t has_chip;
    std::uint32_t interrupt_status; // the last acknowledged INT_STAT & INT_MASK
};

struct SyncAnswer {
    std::uint32_t isr_before;
    std::uint32_t isr_inside;
};

// Registry value under the service's Parameters key: bytes of pool the driver allocates at entry
// with the tag "Leak" and never frees.
#define NTEST_LEAK_VALUE u"LeakBytes"
// Registry value under Parameters: a status DriverEntry returns after creating its device and
// link (without removing them).
#define NTEST_FAIL_VALUE u"FailEntry"
// Registry value under Parameters: the mistakes the driver makes on purpose (bits below).
#define NTEST_CARELESS_VALUE u"Careless"
#define NTEST_KEEP_VIEW 1u // unload leaves the register view and its section handle
#define NTEST_SLOW_DPC 2u  // the DPC is still busy when the unload begins
#define NTEST_NO_FLUSH 4u  // unload does not wait for a DPC still running
#define NTEST_INT_STAT 0x100
#define NTEST_INT_MASK 0x104
