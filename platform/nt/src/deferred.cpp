// Deferred procedure calls and work items: queued by drivers, run on a kernel thread at their
// level, or drained by a test while the machine is stepped.
#include "nt/io.h"

#include "kernel.h"
#include "pool.h"

#include "machine/machine.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

struct _IO_WORKITEM {
    PDEVICE_OBJECT device;
    PIO_WORKITEM_ROUTINE routine;
    PVOID context;
    bool queued;
};

namespace tolm_nt {
namespace {

struct Item {
    PKDPC dpc = nullptr;                // a DPC
    PIO_WORKITEM io_item = nullptr;     // or an I/O work item
    PWORK_QUEUE_ITEM ex_item = nullptr; // or an executive work item
    void* module = nullptr;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Item> items;
    std::thread worker;
    bool stop = false;
    std::mutex run_mutex; // one item at a time, as on one processor
};

Queue& queue() {
    static Queue q;
    return q;
}

platform::nt::DeferredMode mode = platform::nt::DeferredMode::Auto;

bool threaded() {
    switch (mode) {
    case platform::nt::DeferredMode::Thread:
        return true;
    case platform::nt::DeferredMode::Manual:
    case platform::nt::DeferredMode::AfterInterrupts:
        return false;
    case platform::nt::DeferredMode::Auto:
        break;
    }
    return hw().free_running();
}

// Runs what the interrupt handlers queued once their round is over (on a thread at passive
// level; otherwise the calls wait).
void hook_interrupt_rounds() {
    hw().set_after_interrupts([] {
        if (mode == platform::nt::DeferredMode::AfterInterrupts && irql() == PASSIVE_LEVEL) {
            platform::nt::drain_deferred();
        }
    });
}

std::mutex running_mutex;
std::multiset<void*>& running_modules() {
    static std::multiset<void*> r;
    return r;
}

void run(const Item& item) {
    {
        std::lock_guard lock(running_mutex);
        running_modules().insert(item.module);
    }
    struct Done {
        void* module;
        ~Done() {
            std::lock_guard lock(running_mutex);
            running_modules().erase(running_modules().find(module));
        }
    } done{item.module};
    if (item.dpc != nullptr) {
        PKDPC const dpc = item.dpc;
        const KIRQL old = irql();
        set_irql(DISPATCH_LEVEL);
        dpc->DeferredRoutine(dpc, dpc->DeferredContext, dpc->SystemArgument1, dpc->SystemArgument2);
        if (irql() != DISPATCH_LEVEL) {
            bug_check(IRQL_NOT_LESS_OR_EQUAL, irql(), DISPATCH_LEVEL,
                      reinterpret_cast<ULONG_PTR>(dpc), 0, "DPC returned at another level");
        }
        set_irql(old);
    } else if (item.io_item != nullptr) {
        PIO_WORKITEM const w = item.io_item;
        w->routine(w->device, w->context);
        release_device_reference(w->device);
    } else if (item.ex_item != nullptr) {
        item.ex_item->WorkerRoutine(item.ex_item->Parameter);
    }
    if (irql() != PASSIVE_LEVEL && item.dpc == nullptr) {
        bug_check(IRQL_NOT_LESS_OR_EQUAL, irql(), PASSIVE_LEVEL, 0, 0,
                  "work item returned above passive level");
    }
}

// Takes the next item off the queue, marking DPCs dequeued and work items free.
bool take(Item& out) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.items.empty()) {
        return false;
    }
    out = q.items.front();
    q.items.pop_front();
    if (out.dpc != nullptr) {
        out.dpc->DpcData = nullptr;
    }
    if (out.io_item != nullptr) {
        out.io_item->queued = false;
    }
    return true;
}

void worker_loop() {
    Queue& q = queue();
    for (;;) {
        {
            std::unique_lock lock(q.mutex);
            q.wake.wait(lock, [&] { return q.stop || !q.items.empty(); });
            if (q.stop) {
                return;
            }
        }
        std::lock_guard run_lock(q.run_mutex);
        Item item;
        if (take(item)) {
            run(item);
        }
    }
}

void push(const Item& item) {
    if (mode == platform::nt::DeferredMode::AfterInterrupts) {
        hook_interrupt_rounds(); // the machine may have been replaced since
    }
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.items.push_back(item);
    if (threaded()) {
        if (!q.worker.joinable()) {
            q.worker = std::thread(worker_loop);
            static struct Joiner {
                ~Joiner() {
                    Queue& q = queue();
                    {
                        std::lock_guard lock(q.mutex);
                        q.stop = true;
                    }
                    q.wake.notify_all();
                    if (q.worker.joinable()) {
                        q.worker.join();
                    }
                }
            } joiner;
        }
        q.wake.notify_one();
    }
}

} // namespace

bool deferred_running_of(void* module) {
    std::lock_guard lock(running_mutex);
    return running_modules().count(module) != 0;
}

std::size_t drop_deferred_of(void* module) {
    Queue& q = queue();
    std::vector<PDEVICE_OBJECT> devices;
    std::size_t dropped = 0;
    {
        std::lock_guard lock(q.mutex);
        for (auto it = q.items.begin(); it != q.items.end();) {
            if (it->module == module) {
                // The DPC object may be gone with the driver's memory: it is not touched.
                if (it->io_item != nullptr) {
                    it->io_item->queued = false;
                    devices.push_back(it->io_item->device);
                }
                it = q.items.erase(it);
                ++dropped;
            } else {
                ++it;
            }
        }
    }
    for (PDEVICE_OBJECT d : devices) {
        release_device_reference(d);
    }
    return dropped;
}

} // namespace tolm_nt

namespace platform::nt {

void set_deferred_mode(DeferredMode m) {
    const bool was_inline = tolm_nt::mode == DeferredMode::AfterInterrupts;
    tolm_nt::mode = m;
    if (m == DeferredMode::AfterInterrupts) {
        tolm_nt::hook_interrupt_rounds();
    } else if (was_inline) {
        tolm_nt::hw().set_after_interrupts(nullptr);
    }
    if (tolm_nt::threaded()) {
        tolm_nt::Queue& q = tolm_nt::queue();
        std::lock_guard lock(q.mutex);
        q.wake.notify_all();
    }
}

std::size_t drain_deferred() {
    tolm_nt::require_irql_at_most(PASSIVE_LEVEL, "drain_deferred");
    std::size_t ran = 0;
    tolm_nt::Queue& q = tolm_nt::queue();
    std::lock_guard run_lock(q.run_mutex);
    tolm_nt::Item item;
    while (tolm_nt::take(item)) {
        tolm_nt::run(item);
        ++ran;
    }
    return ran;
}

std::size_t running_deferred() {
    std::lock_guard lock(tolm_nt::running_mutex);
    return tolm_nt::running_modules().size();
}

std::size_t queued_deferred() {
    tolm_nt::Queue& q = tolm_nt::queue();
    std::lock_guard lock(q.mutex);
    return q.items.size();
}

} // namespace platform::nt

using namespace tolm_nt;

extern "C" {

VOID NTAPI KeInitializeDpc(PRKDPC dpc, PKDEFERRED_ROUTINE routine, PVOID context) {
    dpc->Type = 0x13;
    dpc->Number = 0;
    dpc->Importance = MediumImportance;
    dpc->DpcListEntry.Flink = dpc->DpcListEntry.Blink = nullptr;
    dpc->DeferredRoutine = routine;
    dpc->DeferredContext = context;
    dpc->SystemArgument1 = dpc->SystemArgument2 = nullptr;
    dpc->DpcData = nullptr;
}

BOOLEAN NTAPI KeInsertQueueDpc(PRKDPC dpc, PVOID a1, PVOID a2) {
    {
        Queue& q = queue();
        std::lock_guard lock(q.mutex);
        if (dpc->DpcData != nullptr) {
            return FALSE;
        }
        dpc->DpcData = dpc;
        dpc->SystemArgument1 = a1;
        dpc->SystemArgument2 = a2;
    }
    Item item;
    item.dpc = dpc;
    item.module = module_of(reinterpret_cast<const void*>(dpc->DeferredRoutine));
    push(item);
    return TRUE;
}

BOOLEAN NTAPI KeRemoveQueueDpc(PRKDPC dpc) {
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    for (auto it = q.items.begin(); it != q.items.end(); ++it) {
        if (it->dpc == dpc) {
            q.items.erase(it);
            dpc->DpcData = nullptr;
            return TRUE;
        }
    }
    return FALSE;
}

VOID NTAPI KeSetImportanceDpc(PRKDPC dpc, KDPC_IMPORTANCE importance) {
    dpc->Importance = static_cast<UCHAR>(importance);
}

VOID NTAPI KeFlushQueuedDpcs() {
    require_irql_at_most(PASSIVE_LEVEL, "KeFlushQueuedDpcs");
    if (!threaded()) {
        return; // queued DPCs wait for the test to drain them
    }
    for (;;) {
        {
            Queue& q = queue();
            std::lock_guard lock(q.mutex);
            bool any = false;
            for (const Item& i : q.items) {
                any = any || i.dpc != nullptr;
            }
            if (!any) {
                break;
            }
        }
        std::this_thread::yield();
    }
    std::lock_guard wait_running(queue().run_mutex);
}

PIO_WORKITEM NTAPI IoAllocateWorkItem(PDEVICE_OBJECT device) {
    auto* w = static_cast<PIO_WORKITEM>(
        allocate_block(BlockKind::Pool, NonPagedPool, sizeof(_IO_WORKITEM), 0x6B576F49 /* "IoWk" */,
                       module_of(__builtin_return_address(0))));
    if (w != nullptr) {
        *w = _IO_WORKITEM{device, nullptr, nullptr, false};
    }
    return w;
}

VOID NTAPI IoFreeWorkItem(PIO_WORKITEM w) {
    if (w->queued) {
        bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x1000, reinterpret_cast<ULONG_PTR>(w), 0, 0,
                  "IoFreeWorkItem on a queued work item");
    }
    free_block(BlockKind::Pool, w, 0, false, "IoFreeWorkItem");
}

VOID NTAPI IoQueueWorkItem(PIO_WORKITEM w, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE,
                           PVOID context) {
    require_irql_at_most(DISPATCH_LEVEL, "IoQueueWorkItem");
    {
        Queue& q = queue();
        std::lock_guard lock(q.mutex);
        if (w->queued) {
            bug_check(DRIVER_VERIFIER_DETECTED_VIOLATION, 0x1001, reinterpret_cast<ULONG_PTR>(w), 0,
                      0, "IoQueueWorkItem on a work item already queued");
        }
        w->queued = true;
        w->routine = routine;
        w->context = context;
    }
    take_device_reference(w->device);
    Item item;
    item.io_item = w;
    item.module = module_of(reinterpret_cast<const void*>(routine));
    push(item);
}

VOID NTAPI ExQueueWorkItem(PWORK_QUEUE_ITEM w, WORK_QUEUE_TYPE) {
    require_irql_at_most(DISPATCH_LEVEL, "ExQueueWorkItem");
    Item item;
    item.ex_item = w;
    item.module = module_of(reinterpret_cast<const void*>(w->WorkerRoutine));
    push(item);
}

} // extern "C"
