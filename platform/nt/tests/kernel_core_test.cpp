// Kernel core: levels and spin locks, pool, deferred calls, time, request completion and the
// kernel registry calls.
#include <ntddk.h>

#include "nt_fixture.h"

#include "platform/clock.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

using nt_test::KernelTest;
using platform::nt::BugCheck;

ULONG bug_check_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const BugCheck& b) {
        return b.code;
    }
    return 0;
}

class KernelCore : public KernelTest {
protected:
    ~KernelCore() override {
        if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
            KeLowerIrql(PASSIVE_LEVEL);
        }
    }
};

TEST_F(KernelCore, LevelAndSpinLockRulesAreEnforced) {
    struct Case {
        const char* what;
        std::function<void()> run;
        ULONG code;
    };
    KSPIN_LOCK lock;
    const std::vector<Case> cases = {
        {"spin lock above dispatch level",
         [&] {
             KeInitializeSpinLock(&lock);
             KIRQL old;
             KeRaiseIrql(HIGH_LEVEL, &old);
             KeAcquireSpinLock(&lock, &old);
         },
         IRQL_NOT_LESS_OR_EQUAL},
        {"spin lock taken twice by one thread",
         [&] {
             KeInitializeSpinLock(&lock);
             KIRQL old;
             KeAcquireSpinLock(&lock, &old);
             KeAcquireSpinLock(&lock, &old);
         },
         SPIN_LOCK_ALREADY_OWNED},
        {"release of a lock not held",
         [&] {
             KeInitializeSpinLock(&lock);
             KIRQL old;
             KeRaiseIrql(DISPATCH_LEVEL, &old);
             KeReleaseSpinLock(&lock, old);
         },
         SPIN_LOCK_NOT_OWNED},
        {"lowering to a higher level", [&] { KeLowerIrql(DISPATCH_LEVEL); },
         IRQL_NOT_LESS_OR_EQUAL},
        {"delay at dispatch level",
         [&] {
             KIRQL old;
             KeRaiseIrql(DISPATCH_LEVEL, &old);
             LARGE_INTEGER t;
             t.QuadPart = -10000;
             KeDelayExecutionThread(KernelMode, FALSE, &t);
         },
         IRQL_NOT_LESS_OR_EQUAL},
        {"paged pool at dispatch level",
         [&] {
             KIRQL old;
             KeRaiseIrql(DISPATCH_LEVEL, &old);
             ExAllocatePoolWithTag(PagedPool, 16, 0x74736554);
         },
         IRQL_NOT_LESS_OR_EQUAL},
        {"pageable code at dispatch level",
         [&] {
             PAGED_CODE();
             KIRQL old;
             KeRaiseIrql(DISPATCH_LEVEL, &old);
             PAGED_CODE();
         },
         IRQL_NOT_LESS_OR_EQUAL},
        {"device creation at dispatch level",
         [&] {
             KIRQL old;
             KeRaiseIrql(DISPATCH_LEVEL, &old);
             DRIVER_OBJECT driver{};
             PDEVICE_OBJECT device;
             IoCreateDevice(&driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
         },
         IRQL_NOT_LESS_OR_EQUAL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bug_check_of(c.run), c.code) << c.what;
        KeLowerIrql(PASSIVE_LEVEL);
    }
}

TEST_F(KernelCore, SpinLockExcludesOtherThreadsAndRestoresTheLevel) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    long counter = 0;
    const auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            KIRQL old;
            KeAcquireSpinLock(&lock, &old);
            EXPECT_EQ(KeGetCurrentIrql(), DISPATCH_LEVEL);
            ++counter;
            KeReleaseSpinLock(&lock, old);
        }
        EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

// Spin locks and an interrupt's synchronisation are for a few instructions: a holder that busy
// waits a millisecond (reading the time or stalling) is caught when it lets go, with the lock
// free and the level back where it was.
TEST_F(KernelCore, BusyWaitUnderALockIsCaught) {
    KSPIN_LOCK lock;
    KeInitializeSpinLock(&lock);
    const auto busy_wait_ms = [](ULONG ms) {
        LARGE_INTEGER start, now;
        KeQueryTickCount(&start);
        do {
            KeQueryTickCount(&now);
        } while (static_cast<ULONG>(now.QuadPart - start.QuadPart) < ms);
    };
    const auto under_spin_lock = [&](const std::function<void()>& body) {
        KIRQL old;
        KeAcquireSpinLock(&lock, &old);
        body();
        KeReleaseSpinLock(&lock, old);
    };
    EXPECT_EQ(bug_check_of([&] { under_spin_lock([] {}); }), 0u);
    EXPECT_EQ(bug_check_of([&] { under_spin_lock([&] { busy_wait_ms(1); }); }),
              ULONG(DRIVER_VERIFIER_DETECTED_VIOLATION));
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    EXPECT_EQ(lock, 0u) << "released before the report";
    EXPECT_EQ(bug_check_of([&] { under_spin_lock([] { KeStallExecutionProcessor(1000); }); }),
              ULONG(DRIVER_VERIFIER_DETECTED_VIOLATION));
    EXPECT_EQ(bug_check_of([&] { under_spin_lock([] { KeStallExecutionProcessor(50); }); }), 0u);

    PKINTERRUPT interrupt = nullptr;
    ASSERT_EQ(IoConnectInterrupt(
                  &interrupt, [](PKINTERRUPT, PVOID) -> BOOLEAN { return FALSE; }, nullptr, nullptr,
                  0x30 + 11, 10, 10, LevelSensitive, TRUE, 1, FALSE),
              STATUS_SUCCESS);
    static ULONG wait_ms;
    const auto synchronized_wait = [&](ULONG ms) {
        wait_ms = ms;
        return bug_check_of([&] {
            KeSynchronizeExecution(
                interrupt,
                [](PVOID) -> BOOLEAN {
                    LARGE_INTEGER start, now;
                    KeQueryTickCount(&start);
                    do {
                        KeQueryTickCount(&now);
                    } while (static_cast<ULONG>(now.QuadPart - start.QuadPart) < wait_ms);
                    return TRUE;
                },
                nullptr);
        });
    };
    EXPECT_EQ(synchronized_wait(0), 0u);
    EXPECT_EQ(synchronized_wait(1), ULONG(DRIVER_VERIFIER_DETECTED_VIOLATION));
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    IoDisconnectInterrupt(interrupt);
}

TEST_F(KernelCore, PoolBlocksCarryTagsAndWrongFreesAreCaught) {
    const ULONG ddk = 0x206B6444; // "Ddk "
    void* a = ExAllocatePoolWithTag(NonPagedPool, 100, ddk);
    void* b = ExAllocatePoolWithTag(NonPagedPoolCacheAligned, 5000, ddk);
    void* c = ExAllocatePoolWithTag(PagedPool, 7, 0x74736554);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(static_cast<unsigned char*>(a)[0], 0x5A) << "fresh pool is not zeroed";
    EXPECT_NE(MmGetPhysicalAddress(b).QuadPart, 0) << "non-paged pool is physical memory";
    bool found = false;
    for (const auto& u : platform::nt::pool_usage()) {
        if (u.tag == ddk) {
            found = true;
            EXPECT_EQ(u.blocks, 2u);
            EXPECT_EQ(u.bytes, 5100u);
        }
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(platform::nt::tag_text(ddk), "Ddk ");
    EXPECT_EQ(ULONG(' kdD'), ddk) << "a tag written as drivers write it";
    EXPECT_EQ(bug_check_of([&] { ExFreePoolWithTag(a, 0x57726E67); }), BAD_POOL_CALLER);
    int not_pool = 0;
    EXPECT_EQ(bug_check_of([&] { ExFreePool(&not_pool); }), BAD_POOL_CALLER);
    ExFreePoolWithTag(a, ddk);
    ExFreePool(b);
    ExFreePool(c);
    EXPECT_EQ(bug_check_of([&] { ExFreePool(c); }), BAD_POOL_CALLER) << "double free";

    PHYSICAL_ADDRESS highest;
    highest.QuadPart = 0xFFFFFFFFll;
    void* contiguous = MmAllocateContiguousMemory(3 * PAGE_SIZE, highest);
    void* noncached = MmAllocateNonCachedMemory(PAGE_SIZE);
    ASSERT_TRUE(contiguous && noncached);
    EXPECT_EQ(MmGetPhysicalAddress(static_cast<char*>(contiguous) + 2 * PAGE_SIZE).QuadPart,
              MmGetPhysicalAddress(contiguous).QuadPart + 2 * PAGE_SIZE);
    EXPECT_EQ(bug_check_of([&] { ExFreePool(noncached); }), BAD_POOL_CALLER) << "wrong kind";
    MmFreeNonCachedMemory(noncached, PAGE_SIZE);
    MmFreeContiguousMemory(contiguous);

    platform::nt::inject_fault(platform::nt::Fault::PoolAllocation, 0, 1, 1);
    void* first = ExAllocatePoolWithTag(NonPagedPool, 8, ddk);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(ExAllocatePoolWithTag(NonPagedPool, 8, ddk), nullptr);
    void* third = ExAllocatePoolWithTag(NonPagedPool, 8, ddk);
    EXPECT_NE(third, nullptr);
    ExFreePool(first);
    ExFreePool(third);
}

struct DpcSeen {
    int runs = 0;
    KIRQL level = 0;
    PVOID context = nullptr;
    PVOID argument1 = nullptr;
};

VOID NTAPI record_dpc(PKDPC, PVOID context, PVOID a1, PVOID) {
    auto* seen = static_cast<DpcSeen*>(a1);
    ++seen->runs;
    seen->level = KeGetCurrentIrql();
    seen->context = context;
    seen->argument1 = a1;
}

TEST_F(KernelCore, DpcQueuesOnceAndRunsAtDispatchLevelWhenDrained) {
    DpcSeen seen;
    KDPC dpc;
    int context = 0;
    KeInitializeDpc(&dpc, record_dpc, &context);
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, &seen, nullptr));
    EXPECT_FALSE(KeInsertQueueDpc(&dpc, &seen, nullptr)) << "already queued";
    EXPECT_TRUE(KeRemoveQueueDpc(&dpc));
    EXPECT_FALSE(KeRemoveQueueDpc(&dpc));
    EXPECT_EQ(platform::nt::drain_deferred(), 0u);
    EXPECT_EQ(seen.runs, 0);
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, &seen, nullptr));
    EXPECT_EQ(platform::nt::queued_deferred(), 1u);
    EXPECT_EQ(platform::nt::drain_deferred(), 1u);
    EXPECT_EQ(seen.runs, 1);
    EXPECT_EQ(seen.level, DISPATCH_LEVEL);
    EXPECT_EQ(seen.context, &context);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
    EXPECT_TRUE(KeInsertQueueDpc(&dpc, &seen, nullptr)) << "can be queued again after it ran";
    platform::nt::drain_deferred();
    EXPECT_EQ(seen.runs, 2);
}

TEST_F(KernelCore, DeferredCallsRunOnTheKernelThreadInThreadMode) {
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Thread);
    std::atomic<int> runs{0};
    WORK_QUEUE_ITEM item;
    ExInitializeWorkItem(
        &item,
        [](PVOID p) {
            EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
            static_cast<std::atomic<int>*>(p)->fetch_add(1);
        },
        &runs);
    ExQueueWorkItem(&item, DelayedWorkQueue);
    for (int i = 0; i < 2000 && runs.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(runs.load(), 1);
    platform::nt::set_deferred_mode(platform::nt::DeferredMode::Manual);
}

TEST_F(KernelCore, TimeFollowsThePlatformClock) {
    EXPECT_EQ(KeQueryTimeIncrement(), 10000u);
    platform::clock::set(5000);
    LARGE_INTEGER t;
    KeQueryTickCount(&t);
    EXPECT_EQ(t.LowPart, 5000u);
    LARGE_INTEGER delay;
    delay.QuadPart = -30 * 10000; // 30 ms
    EXPECT_EQ(KeDelayExecutionThread(KernelMode, FALSE, &delay), STATUS_SUCCESS);
    EXPECT_EQ(platform::clock::now(), 5030u);

    // The 64-bit count goes on across the 32-bit wrap.
    KeQueryTickCount(&t);
    const LONG high = t.HighPart;
    platform::clock::set(0xFFFFFFF0u);
    KeQueryTickCount(&t);
    platform::clock::advance(0x20);
    KeQueryTickCount(&t);
    EXPECT_EQ(t.HighPart, high + 1);
    EXPECT_EQ(t.LowPart, 0x10u);

    // A timed wait on an event ends on the manual clock's deadline, or at once when signalled.
    KEVENT event;
    KeInitializeEvent(&event, SynchronizationEvent, FALSE);
    LARGE_INTEGER wait;
    wait.QuadPart = -50 * 10000;
    std::thread ticker([] {
        for (int i = 0; i < 10; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            platform::clock::advance(10);
        }
    });
    const std::uint32_t before = platform::clock::now();
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &wait), STATUS_TIMEOUT);
    EXPECT_GE(platform::clock::now() - before, 50u);
    ticker.join();
    KeSetEvent(&event, IO_NO_INCREMENT, FALSE);
    EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, &wait), STATUS_SUCCESS);
    EXPECT_EQ(KeReadStateEvent(&event), 0) << "a synchronization event resets when taken";

    // A busy wait on the manual clock moves it.
    LARGE_INTEGER start, now;
    KeQueryTickCount(&start);
    do {
        KeQueryTickCount(&now);
    } while (now.QuadPart - start.QuadPart < 2);
    EXPECT_GE(platform::clock::now(), 0x12u);
}

TEST_F(KernelCore, RequestsCompleteExactlyOnce) {
    PIRP irp = IoAllocateIrp(1, FALSE);
    ASSERT_NE(irp, nullptr);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    EXPECT_EQ(bug_check_of([&] { IoCompleteRequest(irp, IO_NO_INCREMENT); }),
              MULTIPLE_IRP_COMPLETE_REQUESTS);
    IoFreeIrp(irp);

    irp = IoAllocateIrp(1, FALSE);
    irp->IoStatus.Status = STATUS_PENDING;
    EXPECT_EQ(bug_check_of([&] { IoCompleteRequest(irp, IO_NO_INCREMENT); }),
              MULTIPLE_IRP_COMPLETE_REQUESTS);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoSetCancelRoutine(irp, [](PDEVICE_OBJECT, PIRP) {});
    EXPECT_EQ(bug_check_of([&] { IoCompleteRequest(irp, IO_NO_INCREMENT); }), 0x48u)
        << "completed with a cancel routine set";
    IoFreeIrp(irp);
}

// ---- Kernel registry ----------------------------------------------------------------------

NTSTATUS open_or_create(PCWSTR path, HANDLE* key, bool create, ULONG* disposition = nullptr) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, path);
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    return create ? ZwCreateKey(key, KEY_ALL_ACCESS, &oa, 0, nullptr, 0, disposition)
                  : ZwOpenKey(key, KEY_READ, &oa);
}

// What a dispatch routine returns must match what it did with the request: complete it (and
// return its status) or mark it pending (and return STATUS_PENDING).
TEST_F(KernelCore, DispatchMustCompleteOrPendWithTheRequestsStatus) {
    DRIVER_OBJECT driver{};
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoCreateDevice(&driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    static PIRP pended;
    struct Case {
        const char* what;
        PDRIVER_DISPATCH dispatch;
        ULONG bug_check;
    };
    const Case cases[] = {
        {"completes and returns its status",
         [](PDEVICE_OBJECT, PIRP irp) -> NTSTATUS {
             irp->IoStatus.Status = STATUS_INVALID_PARAMETER;
             IoCompleteRequest(irp, IO_NO_INCREMENT);
             return STATUS_INVALID_PARAMETER;
         },
         0},
        {"marks pending and returns STATUS_PENDING",
         [](PDEVICE_OBJECT, PIRP irp) -> NTSTATUS {
             IoMarkIrpPending(irp);
             pended = irp;
             return STATUS_PENDING;
         },
         0},
        {"returns without completing or pending",
         [](PDEVICE_OBJECT, PIRP irp) -> NTSTATUS {
             irp->IoStatus.Status = STATUS_SUCCESS;
             return STATUS_SUCCESS;
         },
         DRIVER_VERIFIER_DETECTED_VIOLATION},
        {"completes with one status and returns another",
         [](PDEVICE_OBJECT, PIRP irp) -> NTSTATUS {
             irp->IoStatus.Status = STATUS_SUCCESS;
             IoCompleteRequest(irp, IO_NO_INCREMENT);
             return STATUS_UNSUCCESSFUL;
         },
         DRIVER_VERIFIER_DETECTED_VIOLATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pended = nullptr;
        driver.MajorFunction[IRP_MJ_DEVICE_CONTROL] = c.dispatch;
        PIRP irp = IoAllocateIrp(1, FALSE);
        ASSERT_NE(irp, nullptr);
        IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_DEVICE_CONTROL;
        EXPECT_EQ(bug_check_of([&] { IoCallDriver(device, irp); }), c.bug_check);
        if (pended != nullptr) {
            pended->IoStatus.Status = STATUS_SUCCESS;
            IoCompleteRequest(pended, IO_NO_INCREMENT);
        }
        IoFreeIrp(irp);
    }
    IoDeleteDevice(device);
}

TEST_F(KernelCore, RegistryKeysAreCreatedOneLevelAtATime) {
    HANDLE key;
    EXPECT_EQ(open_or_create(u"\\Registry\\Machine\\SOFTWARE\\NtTest\\Deep", &key, true),
              STATUS_OBJECT_NAME_NOT_FOUND);
    ULONG disposition = 0;
    ASSERT_EQ(open_or_create(u"\\Registry\\Machine\\SOFTWARE", &key, true), STATUS_SUCCESS);
    ZwClose(key);
    ASSERT_EQ(open_or_create(u"\\REGISTRY\\MACHINE\\Software\\NtTest", &key, true, &disposition),
              STATUS_SUCCESS);
    EXPECT_EQ(disposition, ULONG(REG_CREATED_NEW_KEY));
    ZwClose(key);
    ASSERT_EQ(open_or_create(u"\\Registry\\Machine\\SOFTWARE\\NtTest", &key, true, &disposition),
              STATUS_SUCCESS);
    EXPECT_EQ(disposition, ULONG(REG_OPENED_EXISTING_KEY));

    // A subkey relative to the open key, then enumeration.
    UNICODE_STRING sub;
    RtlInitUnicodeString(&sub, u"Child");
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &sub, OBJ_CASE_INSENSITIVE, key, nullptr);
    HANDLE child;
    ASSERT_EQ(ZwCreateKey(&child, KEY_ALL_ACCESS, &oa, 0, nullptr, 0, nullptr), STATUS_SUCCESS);
    ZwClose(child);
    UCHAR buffer[64];
    ULONG got = 0;
    ASSERT_EQ(ZwEnumerateKey(key, 0, KeyBasicInformation, buffer, sizeof buffer, &got),
              STATUS_SUCCESS);
    auto* info = reinterpret_cast<PKEY_BASIC_INFORMATION>(buffer);
    EXPECT_EQ(info->NameLength, 10u);
    EXPECT_EQ(std::u16string(info->Name, 5), u"Child");
    EXPECT_EQ(ZwEnumerateKey(key, 1, KeyBasicInformation, buffer, sizeof buffer, &got),
              STATUS_NO_MORE_ENTRIES);
    ZwClose(key);
    EXPECT_EQ(open_or_create(u"\\Registry\\Machine\\SOFTWARE\\Missing", &key, false),
              STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(ZwClose(key), STATUS_INVALID_HANDLE) << "no handle came back";
}

TEST_F(KernelCore, RegistryValueQueriesFollowTheLengthRules) {
    HANDLE key;
    ASSERT_EQ(open_or_create(u"\\Registry\\Machine\\SOFTWARE", &key, true), STATUS_SUCCESS);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"Answer");
    ULONG value = 42;
    ASSERT_EQ(ZwSetValueKey(key, &name, 0, REG_DWORD, &value, sizeof value), STATUS_SUCCESS);
    UNICODE_STRING text_name;
    RtlInitUnicodeString(&text_name, u"Text");
    const WCHAR text[] = u"abc";
    ASSERT_EQ(ZwSetValueKey(key, &text_name, 0, REG_SZ, const_cast<WCHAR*>(text), sizeof text),
              STATUS_SUCCESS);

    struct Case {
        ULONG length;
        NTSTATUS status;
    };
    const ULONG header = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);
    for (const Case c :
         {Case{header - 1, STATUS_BUFFER_TOO_SMALL}, Case{header + 2, STATUS_BUFFER_OVERFLOW},
          Case{header + 4, STATUS_SUCCESS}}) {
        UCHAR buffer[32] = {};
        ULONG got = 0;
        EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer, c.length, &got),
                  c.status)
            << c.length;
        EXPECT_EQ(got, header + 4) << "the length needed";
        if (c.status != STATUS_BUFFER_TOO_SMALL) {
            EXPECT_EQ(reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer)->Type,
                      ULONG(REG_DWORD));
        }
        if (c.status == STATUS_SUCCESS) {
            EXPECT_EQ(*reinterpret_cast<ULONG*>(buffer + header), 42u);
        }
    }
    UCHAR buffer[64];
    ULONG got = 0;
    ASSERT_EQ(
        ZwQueryValueKey(key, &text_name, KeyValuePartialInformation, buffer, sizeof buffer, &got),
        STATUS_SUCCESS);
    auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
    EXPECT_EQ(info->DataLength, sizeof text) << "UTF-16 with its terminator";
    EXPECT_EQ(std::u16string(reinterpret_cast<const WCHAR*>(info->Data)), u"abc");
    UNICODE_STRING missing;
    RtlInitUnicodeString(&missing, u"Missing");
    EXPECT_EQ(
        ZwQueryValueKey(key, &missing, KeyValuePartialInformation, buffer, sizeof buffer, &got),
        STATUS_OBJECT_NAME_NOT_FOUND);
    ZwClose(key);
}

} // namespace
