// Kernel events and waits, the current process and the I/O permission maps.
#include "nt/ke.h"

#include "kernel.h"

#include "machine/machine.h"
#include "platform/clock.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace tolm_nt {
namespace {

// One blocked KeWaitForSingleObject: the object it waits on and its own condition variable, so
// a signal wakes only the waiters of its object. Lives on the waiting thread's stack, in the
// list of blocked waits while it blocks; guarded by the wait mutex.
struct Waiter {
    const void* object = nullptr;
    bool timed = false;
    std::condition_variable wake;
    Waiter* prev = nullptr;
    Waiter* next = nullptr;
};

std::mutex wait_mutex;
Waiter* first_waiter = nullptr; // guarded by wait_mutex

void enter(Waiter& w) {
    w.next = first_waiter;
    if (first_waiter != nullptr) {
        first_waiter->prev = &w;
    }
    first_waiter = &w;
}

void leave(Waiter& w) {
    (w.prev != nullptr ? w.prev->next : first_waiter) = w.next;
    if (w.next != nullptr) {
        w.next->prev = w.prev;
    }
}

// Under the wait mutex: wakes the blocked waits on `object`.
void wake_waiters_of(const void* object) {
    for (Waiter* w = first_waiter; w != nullptr; w = w->next) {
        if (w->object == object) {
            w->wake.notify_one();
        }
    }
}

// A change of the manual clock may end timed waits: they re-check their deadlines.
void on_clock_change() {
    std::lock_guard lock(wait_mutex);
    for (Waiter* w = first_waiter; w != nullptr; w = w->next) {
        if (w->timed) {
            w->wake.notify_one();
        }
    }
}

void listen_to_clock() {
    static const bool listening = [] {
        platform::clock::add_change_listener(&on_clock_change);
        return true;
    }();
    (void)listening;
}

} // namespace
} // namespace tolm_nt

// The one process of this kernel.
struct _KPROCESS {
    int unused;
};
struct _KTHREAD {
    int unused;
};

using namespace tolm_nt;

extern "C" {

VOID NTAPI KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
    std::lock_guard lock(wait_mutex);
    event->Header.Type = static_cast<UCHAR>(type);
    event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
    event->Header.SignalState = state ? 1 : 0;
    event->Header.WaitListHead.Flink = event->Header.WaitListHead.Blink =
        &event->Header.WaitListHead;
}

LONG NTAPI KeSetEvent(PRKEVENT event, KPRIORITY, BOOLEAN) {
    require_irql_at_most(DISPATCH_LEVEL, "KeSetEvent");
    LONG old;
    {
        std::lock_guard lock(wait_mutex);
        old = event->Header.SignalState;
        event->Header.SignalState = 1;
        wake_waiters_of(event);
    }
    return old;
}

LONG NTAPI KeResetEvent(PRKEVENT event) {
    std::lock_guard lock(wait_mutex);
    const LONG old = event->Header.SignalState;
    event->Header.SignalState = 0;
    return old;
}

VOID NTAPI KeClearEvent(PRKEVENT event) {
    KeResetEvent(event);
}

LONG NTAPI KeReadStateEvent(PRKEVENT event) {
    std::lock_guard lock(wait_mutex);
    return event->Header.SignalState;
}

NTSTATUS NTAPI KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                                     PLARGE_INTEGER timeout) {
    const bool zero_wait = timeout != nullptr && timeout->QuadPart == 0;
    if (!zero_wait) {
        require_irql_at_most(APC_LEVEL, "KeWaitForSingleObject");
    } else {
        require_irql_at_most(DISPATCH_LEVEL, "KeWaitForSingleObject");
    }
    auto* event = static_cast<PRKEVENT>(object);
    std::uint32_t ms = 0;
    if (timeout != nullptr) {
        LONGLONG units = timeout->QuadPart;
        if (units > 0) { // absolute system time: the time left from now
            LARGE_INTEGER now;
            KeQuerySystemTime(&now);
            units = now.QuadPart - units;
        }
        ms = units < 0 ? static_cast<std::uint32_t>((-units + 9999) / 10000) : 0;
    }
    const bool manual = timeout != nullptr && platform::clock::is_manual();
    if (manual) {
        listen_to_clock();
    }
    const std::uint32_t start = platform::clock::peek();
    std::unique_lock lock(wait_mutex);
    bool got = event->Header.SignalState != 0;
    if (!got && (timeout == nullptr || ms > 0)) {
        Waiter self;
        self.object = event;
        self.timed = manual;
        enter(self);
        const auto real_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        // On the manual clock the wait ends when the clock passes its deadline; a wait that
        // sees the clock stand still for a second of real time moves it there itself.
        auto idle_since = std::chrono::steady_clock::now();
        std::uint64_t seen_generation = platform::clock::generation();
        for (;;) {
            got = event->Header.SignalState != 0;
            if (got) {
                break;
            }
            if (timeout == nullptr) {
                self.wake.wait(lock);
                continue;
            }
            if (!manual) {
                if (self.wake.wait_until(lock, real_deadline) == std::cv_status::timeout) {
                    got = event->Header.SignalState != 0;
                    break;
                }
                continue;
            }
            const std::uint32_t elapsed = platform::clock::peek() - start;
            if (elapsed >= ms) {
                break;
            }
            const std::uint64_t generation = platform::clock::generation();
            if (generation != seen_generation) {
                seen_generation = generation;
                idle_since = std::chrono::steady_clock::now();
            }
            const auto idle = std::chrono::steady_clock::now() - idle_since;
            if (idle >= std::chrono::seconds(1)) {
                lock.unlock();
                platform::clock::advance(ms - elapsed);
                lock.lock();
                continue;
            }
            self.wake.wait_for(lock, std::chrono::seconds(1) - idle);
        }
        leave(self);
    }
    if (!got) {
        return STATUS_TIMEOUT;
    }
    if (event->Header.Type == SynchronizationEvent) {
        event->Header.SignalState = 0;
    }
    return STATUS_SUCCESS;
}

PEPROCESS NTAPI PsGetCurrentProcess() {
    static KPROCESS process;
    return &process;
}

PEPROCESS NTAPI IoGetCurrentProcess() {
    return PsGetCurrentProcess();
}

PETHREAD NTAPI PsGetCurrentThread() {
    thread_local KTHREAD thread;
    return &thread;
}

HANDLE NTAPI PsGetCurrentProcessId() {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(own_pid()));
}

} // extern "C"

namespace tolm_nt {
namespace {
std::mutex map_mutex;
std::map<ULONG, std::vector<UCHAR>> io_maps;
} // namespace
} // namespace tolm_nt

extern "C" {

BOOLEAN NTAPI Ke386SetIoAccessMap(ULONG number, PKIO_ACCESS_MAP map) {
    if (number == 0 || number > 16 || map == nullptr) {
        return FALSE;
    }
    std::lock_guard lock(map_mutex);
    io_maps[number].assign(*map, *map + IOPM_SIZE);
    return TRUE;
}

BOOLEAN NTAPI Ke386QueryIoAccessMap(ULONG number, PKIO_ACCESS_MAP map) {
    std::lock_guard lock(map_mutex);
    if (number == 0) {
        std::memset(*map, 0xFF, IOPM_SIZE);
        return TRUE;
    }
    const auto it = io_maps.find(number);
    if (it == io_maps.end()) {
        return FALSE;
    }
    std::memcpy(*map, it->second.data(), IOPM_SIZE);
    return TRUE;
}

BOOLEAN NTAPI Ke386IoSetAccessProcess(PEPROCESS process, ULONG number) {
    if (process != PsGetCurrentProcess()) {
        return FALSE;
    }
    bool grant = false;
    {
        std::lock_guard lock(map_mutex);
        if (number != 0) {
            const auto it = io_maps.find(number);
            if (it == io_maps.end()) {
                return FALSE;
            }
            // The machine models the speaker ports; they must all be allowed by the map.
            const auto allowed = [&](unsigned port) {
                return (it->second[port / 8] & (1u << (port % 8))) == 0;
            };
            grant = allowed(0x42) && allowed(0x43) && allowed(0x61);
        }
    }
    hw().set_io_granted(grant);
    return TRUE;
}

} // extern "C"
