// Kernel time on the platform clock: one tick per millisecond, extended to 64 bits.
#include "nt/ke.h"

#include "kernel.h"

#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace tolm_nt {
namespace {

constexpr ULONG kTimeIncrement = 10000; // 100 ns units per tick

// Extends the 32-bit platform tick across its wrap-arounds.
ULONGLONG tick64() {
    static std::mutex mutex;
    static std::uint32_t last = 0;
    static ULONGLONG high = 0;
    const std::uint32_t now = platform::clock::now();
    std::lock_guard lock(mutex);
    if (now < last && last - now > 0x80000000u) {
        high += 0x100000000ull;
    }
    last = now;
    return high | now;
}

// On the manual clock a thread that keeps reading an unchanged time is busy-waiting for it to
// move: after a run of identical reads the clock advances by a millisecond.
void note_busy_read(ULONGLONG value) {
    note_time_seen(value);
    if (!platform::clock::is_manual()) {
        return;
    }
    thread_local ULONGLONG last_value = ~0ull;
    thread_local unsigned repeats = 0;
    if (value != last_value) {
        last_value = value;
        repeats = 0;
        return;
    }
    if (++repeats >= 64) {
        repeats = 0;
        platform::clock::advance(1);
    }
}

// 100 ns units since 1601 at the moment the tick was 0.
LONGLONG boot_system_time() {
    static const LONGLONG boot = [] {
        const auto since_1970 = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
        const LONGLONG now = since_1970 * 10 + 116444736000000000ll;
        return now - static_cast<LONGLONG>(tick64() * kTimeIncrement);
    }();
    return boot;
}

} // namespace
} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

VOID NTAPI KeQueryTickCount(PLARGE_INTEGER count) {
    const ULONGLONG t = tick64();
    note_busy_read(t);
    count->QuadPart = static_cast<LONGLONG>(t);
}

ULONG NTAPI KeQueryTimeIncrement() {
    return kTimeIncrement;
}

VOID NTAPI KeQuerySystemTime(PLARGE_INTEGER time) {
    const ULONGLONG t = tick64();
    note_busy_read(t);
    time->QuadPart = boot_system_time() + static_cast<LONGLONG>(t * kTimeIncrement);
}

ULONGLONG NTAPI KeQueryInterruptTime() {
    const ULONGLONG t = tick64();
    note_busy_read(t);
    return t * kTimeIncrement;
}

LARGE_INTEGER NTAPI KeQueryPerformanceCounter(PLARGE_INTEGER frequency) {
    if (frequency != nullptr) {
        frequency->QuadPart = 1000;
    }
    LARGE_INTEGER v;
    v.QuadPart = static_cast<LONGLONG>(tick64());
    note_busy_read(static_cast<ULONGLONG>(v.QuadPart));
    return v;
}

VOID NTAPI KeStallExecutionProcessor(ULONG microseconds) {
    note_stall(microseconds);
    if (platform::clock::is_manual()) {
        thread_local ULONG carry = 0;
        carry += microseconds;
        if (carry >= 1000) {
            platform::clock::advance(carry / 1000);
            carry %= 1000;
        }
        return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
    while (std::chrono::steady_clock::now() < end) {
    }
}

NTSTATUS NTAPI KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER interval) {
    require_irql_at_most(APC_LEVEL, "KeDelayExecutionThread");
    LONGLONG units = interval->QuadPart;
    if (units > 0) { // absolute system time
        LARGE_INTEGER now;
        KeQuerySystemTime(&now);
        units = now.QuadPart - units; // negative while in the future
    }
    if (units < 0) {
        const ULONGLONG ms = (static_cast<ULONGLONG>(-units) + kTimeIncrement - 1) / kTimeIncrement;
        platform::clock::sleep(static_cast<std::uint32_t>(ms > 0xFFFFFFFFull ? 0xFFFFFFFFull : ms));
    }
    return STATUS_SUCCESS;
}

} // extern "C"
