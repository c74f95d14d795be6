#include "platform/clock.h"
#include "platform/sync.h"
#include "wait_lock.h"
#include "win32/errors.h"
#include "win32/synch.h"
#include "win32/threads.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform {
namespace detail {

struct WaitBlock;

struct WaitLink {
    WaitBlock* block = nullptr;
    WaitLink* prev = nullptr;
    WaitLink* next = nullptr;
};

// One blocked wait: whose it is, what it waits on and how it ended. Lives on the waiting
// thread's stack; guarded by the wait lock.
struct WaitBlock {
    DWORD thread = 0;
    const std::shared_ptr<WaitableObject>* objects = nullptr;
    DWORD count = 0;
    bool wait_all = false;
    bool timed = false;     // also in the list of timed waits
    bool satisfied = false; // set, with `result`, by the state change that satisfied it
    DWORD result = WAIT_TIMEOUT;
    std::condition_variable wake;                     // waited on with the wait lock
    std::array<WaitLink, MAXIMUM_WAIT_OBJECTS> links; // one in each object's list
    WaitBlock* prev_timed = nullptr;
    WaitBlock* next_timed = nullptr;
};

namespace {

struct WaitState {
    std::mutex mutex;
    std::atomic<std::int64_t> manual_limit_ms{1000};
    // Guarded by the mutex.
    WaitBlock* first_timed = nullptr; // the blocked waits with a timeout, which the clock ends
    std::uint64_t wakeups = 0;
    std::uint32_t blocked = 0;
};

void on_clock_change();

WaitState& wait_state() {
    static WaitState* s = [] {
        auto* state = new WaitState; // lives until the process ends; waiters may outlive main
        clock::add_change_listener(&on_clock_change);
        return state;
    }();
    return *s;
}

void wake(WaitState& s, WaitBlock& block) {
    ++s.wakeups;
    block.wake.notify_one();
}

// A clock change may end timed waits: they re-check their deadlines. Waits without a timeout
// sleep on.
void on_clock_change() {
    WaitState& s = wait_state();
    std::lock_guard lock(s.mutex);
    for (WaitBlock* b = s.first_timed; b != nullptr; b = b->next_timed) {
        wake(s, *b);
    }
}

// Under the wait lock: whether thread `thread` may take `objects` now (all of them, or any, the
// lowest index first); if so takes them and returns the wait's result in `result`.
bool try_take(DWORD thread, const std::shared_ptr<WaitableObject>* objects, DWORD count,
              bool wait_all, DWORD& result) {
    if (wait_all) {
        for (DWORD i = 0; i < count; ++i) {
            if (!objects[i]->ready(thread)) {
                return false;
            }
        }
        for (DWORD i = 0; i < count; ++i) {
            objects[i]->acquire(thread);
        }
        result = WAIT_OBJECT_0;
        return true;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (objects[i]->ready(thread)) {
            objects[i]->acquire(thread);
            result = WAIT_OBJECT_0 + i;
            return true;
        }
    }
    return false;
}

} // namespace

// The objects' wait lists and the list of timed waits; every function runs under the wait lock.
struct WaitLists {
    // Enters `block` at the end of each of its objects' lists.
    static void enter(WaitBlock& block) {
        for (DWORD i = 0; i < block.count; ++i) {
            WaitableObject& object = *block.objects[i];
            WaitLink& link = block.links[i];
            link.block = &block;
            link.prev = object.last_waiter_;
            link.next = nullptr;
            (link.prev ? link.prev->next : object.first_waiter_) = &link;
            object.last_waiter_ = &link;
        }
        WaitState& s = wait_state();
        if (block.timed) {
            block.prev_timed = nullptr;
            block.next_timed = s.first_timed;
            if (s.first_timed) {
                s.first_timed->prev_timed = &block;
            }
            s.first_timed = &block;
        }
        ++s.blocked;
    }

    static void leave(WaitBlock& block) {
        for (DWORD i = 0; i < block.count; ++i) {
            WaitableObject& object = *block.objects[i];
            WaitLink& link = block.links[i];
            (link.prev ? link.prev->next : object.first_waiter_) = link.next;
            (link.next ? link.next->prev : object.last_waiter_) = link.prev;
        }
        WaitState& s = wait_state();
        if (block.timed) {
            (block.prev_timed ? block.prev_timed->next_timed : s.first_timed) = block.next_timed;
            if (block.next_timed) {
                block.next_timed->prev_timed = block.prev_timed;
            }
        }
        --s.blocked;
    }

    // After a state change of `object`: satisfies the waits blocked on it that can be, oldest
    // first, and wakes their threads.
    static void satisfy_waiters(WaitableObject& object) {
        WaitLink* link = object.first_waiter_;
        while (link != nullptr) {
            WaitBlock& block = *link->block;
            if (!try_take(block.thread, block.objects, block.count, block.wait_all, block.result)) {
                link = link->next;
                continue;
            }
            block.satisfied = true;
            leave(block);
            wake(wait_state(), block);
            link = object.first_waiter_; // the block may have had more than one link here
        }
    }
};

std::mutex& wait_mutex() {
    return wait_state().mutex;
}

} // namespace detail

void WaitableObject::change_state(const std::function<void()>& change) {
    std::lock_guard lock(detail::wait_mutex());
    change();
    detail::WaitLists::satisfy_waiters(*this);
}

void set_manual_wait_limit(std::chrono::milliseconds limit) {
    detail::wait_state().manual_limit_ms.store(limit.count(), std::memory_order_relaxed);
}

std::uint64_t wait_wakeups() {
    detail::WaitState& s = detail::wait_state();
    std::lock_guard lock(s.mutex);
    return s.wakeups;
}

std::uint32_t blocked_waits() {
    detail::WaitState& s = detail::wait_state();
    std::lock_guard lock(s.mutex);
    return s.blocked;
}

DWORD wait_for(const std::shared_ptr<WaitableObject>* objects, DWORD count, bool wait_all,
               DWORD timeout_ms) {
    using steady = std::chrono::steady_clock;
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    const DWORD self = GetCurrentThreadId();
    const std::uint32_t start = clock::peek();
    std::uint64_t seen_generation = clock::generation();
    steady::time_point idle_since = steady::now();
    detail::WaitState& s = detail::wait_state();

    std::unique_lock lock(s.mutex);
    DWORD result = WAIT_TIMEOUT;
    if (detail::try_take(self, objects, count, wait_all, result) || timeout_ms == 0) {
        return result;
    }
    // Blocked: from here on only a state change of one of the objects takes them for this
    // wait (and sets block.satisfied); the wait itself only watches the time.
    detail::WaitBlock block;
    block.thread = self;
    block.objects = objects;
    block.count = count;
    block.wait_all = wait_all;
    block.timed = timeout_ms != INFINITE;
    detail::WaitLists::enter(block);
    for (;;) {
        if (block.satisfied) {
            return block.result;
        }
        std::uint32_t remaining = 0;
        if (timeout_ms != INFINITE) {
            const std::uint32_t elapsed = clock::peek() - start; // wraps with the tick
            if (elapsed >= timeout_ms) {
                detail::WaitLists::leave(block);
                return WAIT_TIMEOUT;
            }
            remaining = timeout_ms - elapsed;
        }
        if (!clock::is_manual()) {
            if (timeout_ms == INFINITE) {
                block.wake.wait(lock);
            } else {
                block.wake.wait_for(lock, std::chrono::milliseconds(remaining));
            }
            continue;
        }
        const std::uint64_t generation = clock::generation();
        if (generation != seen_generation) {
            seen_generation = generation;
            idle_since = steady::now();
        }
        const std::chrono::milliseconds limit(s.manual_limit_ms.load(std::memory_order_relaxed));
        if (timeout_ms == INFINITE || limit.count() <= 0) {
            block.wake.wait(lock);
            continue;
        }
        const auto idle = steady::now() - idle_since;
        if (idle >= limit) {
            // Nobody moved the clock for a long while: time passes for this wait as for a sleep.
            lock.unlock();
            clock::advance(remaining);
            lock.lock();
            continue;
        }
        block.wake.wait_for(lock, limit - idle);
    }
}

namespace {

// Collects the objects behind `handles`; false with the last error set when one is no
// waitable object.
bool collect(DWORD count, const HANDLE* handles,
             std::vector<std::shared_ptr<WaitableObject>>& out) {
    out.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = lookup_handle_as<WaitableObject>(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        out.push_back(std::move(object));
    }
    return true;
}

} // namespace
} // namespace platform

extern "C" {

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    const auto object = platform::lookup_handle_as<platform::WaitableObject>(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return platform::wait_for(&object, 1, false, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<platform::WaitableObject>> objects;
    if (!platform::collect(nCount, lpHandles, objects)) {
        return WAIT_FAILED;
    }
    if (bWaitAll) {
        // One object twice in a wait-all could never be taken twice at once.
        for (DWORD i = 0; i < nCount; ++i) {
            for (DWORD j = i + 1; j < nCount; ++j) {
                if (objects[i] == objects[j]) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
    }
    return platform::wait_for(objects.data(), nCount, bWaitAll != FALSE, dwMilliseconds);
}
}
