// Kernel core: interrupt request levels, spin locks, deferred procedure calls, events and waits,
// time, interlocked operations, bug checks, processes and the I/O permission map.
#pragma once

#include "nt/ntstatus.h"

typedef UCHAR KIRQL;
typedef KIRQL* PKIRQL;
typedef CCHAR KPROCESSOR_MODE;
typedef ULONG_PTR KAFFINITY;
typedef KAFFINITY* PKAFFINITY;
typedef LONG KPRIORITY;
typedef ULONG_PTR KSPIN_LOCK;
typedef KSPIN_LOCK* PKSPIN_LOCK;

#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define PROFILE_LEVEL 27
#define CLOCK_LEVEL 28
#define IPI_LEVEL 29
#define POWER_LEVEL 30
#define HIGH_LEVEL 31

enum _MODE { KernelMode, UserMode, MaximumMode };
typedef enum _MODE MODE;

#define IO_NO_INCREMENT 0
#define IO_VIDEO_INCREMENT 1
#define EVENT_INCREMENT 1

// Bug check codes the stand-in raises for driver faults.
#define IRQL_NOT_LESS_OR_EQUAL 0x0000000A
#define IRQL_NOT_GREATER_OR_EQUAL 0x00000009
#define SPIN_LOCK_ALREADY_OWNED 0x0000000F
#define SPIN_LOCK_NOT_OWNED 0x00000010
#define BAD_POOL_CALLER 0x000000C2
#define MULTIPLE_IRP_COMPLETE_REQUESTS 0x00000044
#define NO_MORE_IRP_STACK_LOCATIONS 0x00000035
#define INVALID_CANCEL_OF_FILE_OPEN 0x000000E8
#define DRIVER_LEFT_LOCKED_PAGES_IN_PROCESS 0x000000CB
#define DRIVER_VERIFIER_DETECTED_VIOLATION 0x000000C4
#define DRIVER_UNLOADED_WITHOUT_CANCELLING_PENDING_OPERATIONS 0x000000CE
#define KMODE_EXCEPTION_NOT_HANDLED 0x0000001E

extern "C" {

[[noreturn]] NTKERNELAPI VOID NTAPI KeBugCheckEx(ULONG BugCheckCode, ULONG_PTR Parameter1,
                                                 ULONG_PTR Parameter2, ULONG_PTR Parameter3,
                                                 ULONG_PTR Parameter4);
[[noreturn]] NTKERNELAPI VOID NTAPI KeBugCheck(ULONG BugCheckCode);

// Interrupt request level of the calling thread.
NTKERNELAPI KIRQL NTAPI KeGetCurrentIrql();
NTKERNELAPI VOID NTAPI KeRaiseIrql(KIRQL NewIrql, PKIRQL OldIrql);
NTKERNELAPI VOID NTAPI KeLowerIrql(KIRQL NewIrql);
NTKERNELAPI KIRQL NTAPI KeRaiseIrqlToDpcLevel();

// Spin locks. Acquiring raises to DISPATCH_LEVEL.
NTKERNELAPI VOID NTAPI KeInitializeSpinLock(PKSPIN_LOCK SpinLock);
NTKERNELAPI VOID NTAPI KeAcquireSpinLock(PKSPIN_LOCK SpinLock, PKIRQL OldIrql);
NTKERNELAPI VOID NTAPI KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql);
NTKERNELAPI VOID NTAPI KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock);
NTKERNELAPI VOID NTAPI KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock);
NTKERNELAPI KIRQL NTAPI KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock);

} // extern "C"

// Pageable code runs at or below APC_LEVEL.
#define PAGED_CODE()                                                                               \
    ((void)(KeGetCurrentIrql() > APC_LEVEL                                                         \
                ? (KeBugCheckEx(IRQL_NOT_LESS_OR_EQUAL, KeGetCurrentIrql(), APC_LEVEL, 0, 0), 0)   \
                : 0))

// Deferred procedure calls.
struct _KDPC;
typedef VOID NTAPI KDEFERRED_ROUTINE(struct _KDPC* Dpc, PVOID DeferredContext,
                                     PVOID SystemArgument1, PVOID SystemArgument2);
typedef KDEFERRED_ROUTINE* PKDEFERRED_ROUTINE;

typedef enum _KDPC_IMPORTANCE { LowImportance, MediumImportance, HighImportance } KDPC_IMPORTANCE;

typedef struct _KDPC {
    CSHORT Type;
    UCHAR Number;
    UCHAR Importance;
    LIST_ENTRY DpcListEntry;
    PKDEFERRED_ROUTINE DeferredRoutine;
    PVOID DeferredContext;
    PVOID SystemArgument1;
    PVOID SystemArgument2;
    PVOID DpcData; // non-null while queued
} KDPC, *PKDPC, *PRKDPC;

// Dispatcher objects: events.
typedef enum _EVENT_TYPE { NotificationEvent, SynchronizationEvent } EVENT_TYPE;
typedef enum _KWAIT_REASON {
    Executive,
    FreePage,
    PageIn,
    PoolAllocation,
    UserRequest = 6
} KWAIT_REASON;

typedef struct _DISPATCHER_HEADER {
    UCHAR Type;
    UCHAR Absolute;
    UCHAR Size;
    UCHAR Inserted;
    LONG SignalState;
    LIST_ENTRY WaitListHead;
} DISPATCHER_HEADER;

typedef struct _KEVENT {
    DISPATCHER_HEADER Header;
} KEVENT, *PKEVENT, *PRKEVENT;

// Interrupt objects are opaque to drivers.
struct _KINTERRUPT;
typedef struct _KINTERRUPT* PKINTERRUPT;
typedef enum _KINTERRUPT_MODE { LevelSensitive, Latched } KINTERRUPT_MODE;
typedef BOOLEAN NTAPI KSERVICE_ROUTINE(PKINTERRUPT Interrupt, PVOID ServiceContext);
typedef KSERVICE_ROUTINE* PKSERVICE_ROUTINE;
typedef BOOLEAN NTAPI KSYNCHRONIZE_ROUTINE(PVOID SynchronizeContext);
typedef KSYNCHRONIZE_ROUTINE* PKSYNCHRONIZE_ROUTINE;

// Processes are opaque.
struct _KPROCESS;
typedef struct _KPROCESS KPROCESS, *PKPROCESS, EPROCESS, *PEPROCESS;
struct _KTHREAD;
typedef struct _KTHREAD KTHREAD, *PKTHREAD, ETHREAD, *PETHREAD;

// The I/O permission map: one bit per port, a clear bit allows the port.
#define IOPM_SIZE 8192
typedef UCHAR KIO_ACCESS_MAP[IOPM_SIZE];
typedef KIO_ACCESS_MAP* PKIO_ACCESS_MAP;

// The tick count as the clock interrupt keeps it: readers re-read until both high words match.
typedef struct _KSYSTEM_TIME {
    ULONG LowPart;
    LONG High1Time;
    LONG High2Time;
} KSYSTEM_TIME, *PKSYSTEM_TIME;

extern "C" {

NTKERNELAPI VOID NTAPI KeInitializeDpc(PRKDPC Dpc, PKDEFERRED_ROUTINE DeferredRoutine,
                                       PVOID DeferredContext);
NTKERNELAPI BOOLEAN NTAPI KeInsertQueueDpc(PRKDPC Dpc, PVOID SystemArgument1,
                                           PVOID SystemArgument2);
NTKERNELAPI BOOLEAN NTAPI KeRemoveQueueDpc(PRKDPC Dpc);
NTKERNELAPI VOID NTAPI KeSetImportanceDpc(PRKDPC Dpc, KDPC_IMPORTANCE Importance);
NTKERNELAPI VOID NTAPI KeFlushQueuedDpcs();

NTKERNELAPI VOID NTAPI KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
NTKERNELAPI LONG NTAPI KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait);
NTKERNELAPI LONG NTAPI KeResetEvent(PRKEVENT Event);
NTKERNELAPI VOID NTAPI KeClearEvent(PRKEVENT Event);
NTKERNELAPI LONG NTAPI KeReadStateEvent(PRKEVENT Event);
// Waits on a KEVENT. Timeout: null = for ever, negative = relative in 100 ns units.
NTKERNELAPI NTSTATUS NTAPI KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason,
                                                 KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                                                 PLARGE_INTEGER Timeout);

// Runs SynchronizeRoutine under the interrupt's lock at its synchronisation level.
NTKERNELAPI BOOLEAN NTAPI KeSynchronizeExecution(PKINTERRUPT Interrupt,
                                                 PKSYNCHRONIZE_ROUTINE SynchronizeRoutine,
                                                 PVOID SynchronizeContext);

// Time: the tick count runs on the platform clock (one tick per millisecond).
NTKERNELAPI VOID NTAPI KeQueryTickCount(PLARGE_INTEGER TickCount);
NTKERNELAPI ULONG NTAPI KeQueryTimeIncrement();
NTKERNELAPI VOID NTAPI KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
NTKERNELAPI ULONGLONG NTAPI KeQueryInterruptTime();
NTKERNELAPI LARGE_INTEGER NTAPI KeQueryPerformanceCounter(PLARGE_INTEGER PerformanceFrequency);
NTKERNELAPI VOID NTAPI KeStallExecutionProcessor(ULONG MicroSeconds);
// Interval: negative = relative in 100 ns units; positive = absolute system time.
NTKERNELAPI NTSTATUS NTAPI KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                                                  PLARGE_INTEGER Interval);

NTKERNELAPI PEPROCESS NTAPI PsGetCurrentProcess();
NTKERNELAPI PETHREAD NTAPI PsGetCurrentThread();
NTKERNELAPI HANDLE NTAPI PsGetCurrentProcessId();

// I/O permission maps (map 0 denies every port; maps 1 and up are loaded by drivers).
NTKERNELAPI BOOLEAN NTAPI Ke386SetIoAccessMap(ULONG MapNumber, PKIO_ACCESS_MAP IoAccessMap);
NTKERNELAPI BOOLEAN NTAPI Ke386QueryIoAccessMap(ULONG MapNumber, PKIO_ACCESS_MAP IoAccessMap);
NTKERNELAPI BOOLEAN NTAPI Ke386IoSetAccessProcess(PEPROCESS Process, ULONG MapNumber);

} // extern "C"

// Interlocked operations (shared with the user-mode side when both are included).
#ifndef TOLM_INTERLOCKED_DEFINED
#define TOLM_INTERLOCKED_DEFINED
inline LONG InterlockedIncrement(LONG volatile* target) {
    return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* target) {
    return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) {
    return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}
inline LONG InterlockedOr(LONG volatile* target, LONG value) {
    return __atomic_fetch_or(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedAnd(LONG volatile* target, LONG value) {
    return __atomic_fetch_and(target, value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* target, PVOID exchange,
                                               PVOID comparand) {
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}
#endif
