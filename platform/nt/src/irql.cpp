// Interrupt request levels per thread, bug checks and spin locks.
#include "kernel.h"

#include "platform/clock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace platform::nt {

BugCheck::BugCheck(ULONG c, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4,
                   const std::string& what)
    : std::runtime_error(what), code(c), parameters{p1, p2, p3, p4} {}

namespace {
std::mutex handler_mutex;
BugCheckHandler handler;
} // namespace

void set_bugcheck_handler(BugCheckHandler h) {
    std::lock_guard lock(handler_mutex);
    handler = std::move(h);
}

void throw_on_bugcheck() {
    set_bugcheck_handler([](const BugCheck& b) { throw b; });
}

} // namespace platform::nt

namespace tolm_nt {
namespace {
thread_local KIRQL current_level = PASSIVE_LEVEL;

// The spin-lock hold of this thread (locks nest; the outermost one counts).
struct Hold {
    int depth = 0;
    ULONGLONG start = 0; // tick at the outermost acquire
    ULONGLONG seen = 0;  // latest tick the holder read
    ULONGLONG stalled_us = 0;
    const char* routine = nullptr;
    ULONGLONG overlong_ms = 0; // set at the outermost release when the bound was reached
    ULONG_PTR lock = 0;
};
thread_local Hold hold;

// One millisecond on the manual clock (busy waits move it deterministically); on the real
// clock a generous bound, so a thread the host preempted is not taken for a busy wait.
ULONGLONG hold_bound_ms() {
    return platform::clock::is_manual() ? 1 : 100;
}
// A per-thread owner tag for spin-lock words.
thread_local char owner_tag;
ULONG_PTR my_tag() {
    return reinterpret_cast<ULONG_PTR>(&owner_tag) | 1;
}
} // namespace

KIRQL irql() {
    return current_level;
}

void set_irql(KIRQL level) {
    const KIRQL old = current_level;
    current_level = level;
    if (level == PASSIVE_LEVEL) {
        hold.depth = 0; // no spin lock is held at passive level (one a bug check left behind)
    }
    if (level < old) {
        run_masked_interrupts();
    }
}

void bug_check(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4,
               const std::string& what) {
    char text[160];
    std::snprintf(text, sizeof text, "STOP 0x%08X (0x%llX, 0x%llX, 0x%llX, 0x%llX) ", code,
                  static_cast<unsigned long long>(p1), static_cast<unsigned long long>(p2),
                  static_cast<unsigned long long>(p3), static_cast<unsigned long long>(p4));
    const platform::nt::BugCheck check(code, p1, p2, p3, p4, text + what);
    platform::nt::BugCheckHandler h;
    {
        std::lock_guard lock(platform::nt::handler_mutex);
        h = platform::nt::handler;
    }
    if (h) {
        h(check);
    }
    std::fprintf(stderr, "*** %s\n", check.what());
    std::abort();
}

void require_irql_at_most(KIRQL level, const char* routine) {
    if (current_level > level) {
        bug_check(IRQL_NOT_LESS_OR_EQUAL, current_level, level, 0, 0,
                  std::string(routine) + " called above its level");
    }
}

void require_irql_at_least(KIRQL level, const char* routine) {
    if (current_level < level) {
        bug_check(IRQL_NOT_GREATER_OR_EQUAL, current_level, level, 0, 0,
                  std::string(routine) + " called below its level");
    }
}

void lock_word(PKSPIN_LOCK lock, const char* routine) {
    const ULONG_PTR me = my_tag();
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) == me) {
        bug_check(SPIN_LOCK_ALREADY_OWNED, reinterpret_cast<ULONG_PTR>(lock), 0, 0, 0,
                  std::string(routine) + ": spin lock already owned by this thread");
    }
    for (unsigned spins = 0;; ++spins) {
        ULONG_PTR expected = 0;
        if (__atomic_compare_exchange_n(lock, &expected, me, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED)) {
            if (hold.depth++ == 0) {
                hold.start = hold.seen = platform::clock::now();
                hold.stalled_us = 0;
                hold.routine = routine;
                hold.lock = reinterpret_cast<ULONG_PTR>(lock);
            }
            return;
        }
        if (spins > 64) {
            std::this_thread::yield();
        }
    }
}

void unlock_word(PKSPIN_LOCK lock, const char* routine) {
    if (__atomic_load_n(lock, __ATOMIC_RELAXED) != my_tag()) {
        bug_check(SPIN_LOCK_NOT_OWNED, reinterpret_cast<ULONG_PTR>(lock), 0, 0, 0,
                  std::string(routine) + ": spin lock not owned by this thread");
    }
    __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
    if (hold.depth > 0 && --hold.depth == 0) {
        const ULONGLONG held = (hold.seen - hold.start) + hold.stalled_us / 1000;
        if (held >= hold_bound_ms()) {
            hold.overlong_ms = held;
        }
    }
}

void note_time_seen(ULONGLONG tick) {
    if (hold.depth > 0) {
        // The platform tick is 32 bits: compare in its own width.
        hold.seen = hold.start + std::uint32_t(std::uint32_t(tick) - std::uint32_t(hold.start));
    }
}

void note_stall(ULONG microseconds) {
    if (hold.depth > 0) {
        hold.stalled_us += microseconds;
    }
}

void report_long_hold() {
    if (hold.overlong_ms == 0 || hold.depth > 0) {
        return;
    }
    const ULONGLONG ms = hold.overlong_ms;
    hold.overlong_ms = 0;
    bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x6000, hold.lock, ULONG_PTR(ms), 0,
              std::string(hold.routine != nullptr ? hold.routine : "spin lock") +
                  ": lock held for " + std::to_string(ms) +
                  " ms (busy waiting under a spin lock or an interrupt's synchronisation)");
}

} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

VOID NTAPI KeBugCheckEx(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4) {
    bug_check(code, p1, p2, p3, p4, "raised by a driver");
}

VOID NTAPI KeBugCheck(ULONG code) {
    bug_check(code, 0, 0, 0, 0, "raised by a driver");
}

KIRQL NTAPI KeGetCurrentIrql() {
    return irql();
}

VOID NTAPI KeRaiseIrql(KIRQL new_irql, PKIRQL old_irql) {
    if (new_irql < irql()) {
        bug_check(IRQL_NOT_GREATER_OR_EQUAL, irql(), new_irql, 0, 0,
                  "KeRaiseIrql to a lower level");
    }
    *old_irql = irql();
    set_irql(new_irql);
}

VOID NTAPI KeLowerIrql(KIRQL new_irql) {
    if (new_irql > irql()) {
        bug_check(IRQL_NOT_LESS_OR_EQUAL, irql(), new_irql, 0, 0, "KeLowerIrql to a higher level");
    }
    set_irql(new_irql);
}

KIRQL NTAPI KeRaiseIrqlToDpcLevel() {
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    return old;
}

VOID NTAPI KeInitializeSpinLock(PKSPIN_LOCK lock) {
    *lock = 0;
}

VOID NTAPI KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL old_irql) {
    require_irql_at_most(DISPATCH_LEVEL, "KeAcquireSpinLock");
    const KIRQL old = irql();
    set_irql(DISPATCH_LEVEL);
    lock_word(lock, "KeAcquireSpinLock");
    *old_irql = old;
}

KIRQL NTAPI KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK lock) {
    KIRQL old;
    KeAcquireSpinLock(lock, &old);
    return old;
}

VOID NTAPI KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL new_irql) {
    require_irql_at_least(DISPATCH_LEVEL, "KeReleaseSpinLock");
    unlock_word(lock, "KeReleaseSpinLock");
    KeLowerIrql(new_irql);
    report_long_hold();
}

VOID NTAPI KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock) {
    require_irql_at_least(DISPATCH_LEVEL, "KeAcquireSpinLockAtDpcLevel");
    lock_word(lock, "KeAcquireSpinLockAtDpcLevel");
}

VOID NTAPI KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock) {
    require_irql_at_least(DISPATCH_LEVEL, "KeReleaseSpinLockFromDpcLevel");
    unlock_word(lock, "KeReleaseSpinLockFromDpcLevel");
    report_long_hold();
}

} // extern "C"
