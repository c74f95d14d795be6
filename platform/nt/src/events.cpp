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

std::mutex wait_mutex;
std::condition_variable wait_changed;

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
    }
    wait_changed.notify_all();
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
    std::unique_lock lock(wait_mutex);
    const auto signalled = [&] { return event->Header.SignalState != 0; };
    bool got;
    if (timeout == nullptr) {
        wait_changed.wait(lock, signalled);
        got = true;
    } else {
        LONGLONG units = timeout->QuadPart;
        if (units > 0) { // absolute system time: the time left from now
            LARGE_INTEGER now;
            lock.unlock();
            KeQuerySystemTime(&now);
            lock.lock();
            units = now.QuadPart - units;
        }
        const std::uint32_t ms =
            units < 0 ? static_cast<std::uint32_t>((-units + 9999) / 10000) : 0;
        if (!platform::clock::is_manual()) {
            got = wait_changed.wait_for(lock, std::chrono::milliseconds(ms), signalled);
        } else {
            // On the manual clock the wait ends when the clock passes its deadline; a wait that
            // sees nothing happen for a second of real time moves the clock there itself.
            const std::uint32_t start = platform::clock::now();
            const auto real_limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            got = signalled();
            while (!got && platform::clock::now() - start < ms) {
                if (std::chrono::steady_clock::now() >= real_limit) {
                    platform::clock::advance(ms - (platform::clock::now() - start));
                    break;
                }
                got = wait_changed.wait_for(lock, std::chrono::milliseconds(1), signalled);
            }
        }
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
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(getpid()));
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
