// Interrupt objects over the machine's interrupt lines. A service routine runs at the
// interrupt's level under its spin lock; KeSynchronizeExecution takes the same lock. An
// interrupt arriving on a thread whose level masks it is delivered when that level drops.
#include "nt/io.h"

#include "kernel.h"

#include "machine/machine.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace tolm_nt {
namespace {

struct Connection {
    PKSERVICE_ROUTINE routine;
    PVOID context;
    PKSPIN_LOCK lock;
    KIRQL irql;
    KIRQL synchronize_irql;
    std::atomic<bool> connected{true};
    KSPIN_LOCK own_lock = 0; // when the driver gives none
};

thread_local int in_service = 0;
thread_local KIRQL masked_at = HIGH_LEVEL + 1; // lowest level of a masked interrupt, if any

} // namespace
} // namespace tolm_nt

struct _KINTERRUPT {
    std::shared_ptr<tolm_nt::Connection> connection;
    ULONG line;
    int machine_id;
    void* module;
};

namespace tolm_nt {
namespace {

std::mutex connections_mutex;
std::map<PKINTERRUPT, void*>& connections() {
    static std::map<PKINTERRUPT, void*> c;
    return c;
}
std::vector<ULONG>& parked_lines() {
    static std::vector<ULONG> p;
    return p;
}

void attach(PKINTERRUPT k);

// Takes every interrupt of `line` off the machine until the masking level drops, so the
// machine leaves the line pending instead of delivering it again and again.
void park_line(ULONG line) {
    std::vector<int> ids;
    {
        std::lock_guard lock(connections_mutex);
        for (const auto& [k, module] : connections()) {
            if (k->line == line && k->machine_id != 0) {
                ids.push_back(k->machine_id);
                k->machine_id = 0;
            }
        }
        parked_lines().push_back(line);
    }
    for (const int id : ids) {
        hw().detach_interrupt(id);
    }
}

bool service(const std::shared_ptr<Connection>& c, PKINTERRUPT interrupt) {
    if (!c->connected.load()) {
        return false;
    }
    if (irql() >= c->irql) {
        // Masked on this thread (it holds the interrupt's level): deliver once it drops.
        if (c->irql < masked_at) {
            masked_at = c->irql;
        }
        park_line(interrupt->line);
        return false;
    }
    const KIRQL old = irql();
    ++in_service;
    set_irql(c->synchronize_irql);
    lock_word(c->lock, "interrupt service");
    const bool mine = c->connected.load() && c->routine(interrupt, c->context) != FALSE;
    unlock_word(c->lock, "interrupt service");
    set_irql(old);
    --in_service;
    report_long_hold();
    return mine;
}

void attach(PKINTERRUPT k) {
    std::shared_ptr<Connection> held = k->connection;
    k->machine_id = hw().attach_interrupt(k->line, [held, k] { return service(held, k); });
}

} // namespace

void run_masked_interrupts() {
    if (in_service > 0 || irql() >= masked_at) {
        return;
    }
    masked_at = HIGH_LEVEL + 1;
    std::vector<PKINTERRUPT> parked;
    {
        std::lock_guard lock(connections_mutex);
        if (parked_lines().empty()) {
            return;
        }
        for (const auto& [k, module] : connections()) {
            if (k->machine_id == 0) {
                parked.push_back(k);
            }
        }
        parked_lines().clear();
        for (PKINTERRUPT k : parked) {
            attach(k);
        }
    }
    hw().deliver_interrupts();
}

} // namespace tolm_nt

using namespace tolm_nt;

extern "C" {

NTSTATUS NTAPI IoConnectInterrupt(PKINTERRUPT* out, PKSERVICE_ROUTINE routine, PVOID context,
                                  PKSPIN_LOCK spin_lock, ULONG vector, KIRQL level,
                                  KIRQL synchronize_level, KINTERRUPT_MODE, BOOLEAN share,
                                  KAFFINITY affinity, BOOLEAN) {
    require_irql_at_most(PASSIVE_LEVEL, "IoConnectInterrupt");
    *out = nullptr;
    NTSTATUS injected;
    if (fault_fires(platform::nt::Fault::ConnectInterrupt, injected)) {
        return injected;
    }
    if (vector <= 0x30 || vector > 0x30 + 15 || routine == nullptr || affinity == 0 ||
        synchronize_level < level || level <= DISPATCH_LEVEL) {
        return STATUS_INVALID_PARAMETER;
    }
    auto* k = new _KINTERRUPT{};
    k->line = vector - 0x30;
    k->module = module_of(reinterpret_cast<const void*>(routine));
    k->connection = std::make_shared<Connection>();
    Connection& c = *k->connection;
    c.routine = routine;
    c.context = context;
    c.lock = spin_lock != nullptr ? spin_lock : &c.own_lock;
    c.irql = level;
    c.synchronize_irql = synchronize_level;
    (void)share; // the machine's lines are shared; level-sensitive delivery chains handlers
    {
        std::lock_guard lock(connections_mutex);
        attach(k);
        connections()[k] = k->module;
    }
    *out = k;
    return STATUS_SUCCESS;
}

VOID NTAPI IoDisconnectInterrupt(PKINTERRUPT k) {
    require_irql_at_most(PASSIVE_LEVEL, "IoDisconnectInterrupt");
    {
        std::lock_guard lock(connections_mutex);
        if (connections().erase(k) == 0) {
            bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x5000, reinterpret_cast<ULONG_PTR>(k), 0,
                      0, "IoDisconnectInterrupt on an interrupt that is not connected");
        }
    }
    k->connection->connected = false;
    hw().detach_interrupt(k->machine_id);
    // Wait for a service routine still running on another thread.
    lock_word(k->connection->lock, "IoDisconnectInterrupt");
    unlock_word(k->connection->lock, "IoDisconnectInterrupt");
    delete k;
}

BOOLEAN NTAPI KeSynchronizeExecution(PKINTERRUPT k, PKSYNCHRONIZE_ROUTINE routine, PVOID context) {
    Connection& c = *k->connection;
    require_irql_at_most(c.synchronize_irql, "KeSynchronizeExecution");
    const KIRQL old = irql();
    set_irql(c.synchronize_irql);
    lock_word(c.lock, "KeSynchronizeExecution");
    const BOOLEAN result = routine(context);
    unlock_word(c.lock, "KeSynchronizeExecution");
    set_irql(old);
    report_long_hold();
    return result;
}

} // extern "C"

namespace tolm_nt {
std::size_t disconnect_interrupts_of(void* module) {
    std::vector<PKINTERRUPT> left;
    {
        std::lock_guard lock(connections_mutex);
        for (const auto& [k, m] : connections()) {
            if (m == module) {
                left.push_back(k);
            }
        }
    }
    for (PKINTERRUPT k : left) {
        IoDisconnectInterrupt(k);
    }
    return left.size();
}
} // namespace tolm_nt
