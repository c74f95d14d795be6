#include "platform/clock.h"
#include "platform/sync.h"
#include "wait_lock.h"
#include "win32/errors.h"
#include "win32/synch.h"
#include "win32/threads.h"

#include <atomic>
#include <vector>

namespace platform {
namespace detail {
namespace {

struct WaitState {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::int64_t> manual_limit_ms{1000};
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

void on_clock_change() {
    WaitState& s = wait_state();
    { std::lock_guard lock(s.mutex); }
    s.changed.notify_all();
}

} // namespace

std::mutex& wait_mutex() {
    return wait_state().mutex;
}

std::condition_variable& wait_changed() {
    return wait_state().changed;
}

} // namespace detail

void WaitableObject::change_state(const std::function<void()>& change) {
    {
        std::lock_guard lock(detail::wait_mutex());
        change();
    }
    detail::wait_changed().notify_all();
}

void set_manual_wait_limit(std::chrono::milliseconds limit) {
    detail::wait_state().manual_limit_ms.store(limit.count(), std::memory_order_relaxed);
}

DWORD wait_for(const std::shared_ptr<WaitableObject>* objects, DWORD count, bool wait_all,
               DWORD timeout_ms) {
    using steady = std::chrono::steady_clock;
    const DWORD self = GetCurrentThreadId();
    const std::uint32_t start = clock::peek();
    std::uint64_t seen_generation = clock::generation();
    steady::time_point idle_since = steady::now();

    std::unique_lock lock(detail::wait_mutex());
    for (;;) {
        if (wait_all) {
            bool all = true;
            for (DWORD i = 0; i < count && all; ++i) {
                all = objects[i]->ready(self);
            }
            if (all) {
                for (DWORD i = 0; i < count; ++i) {
                    objects[i]->acquire(self);
                }
                return WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (objects[i]->ready(self)) {
                    objects[i]->acquire(self);
                    return WAIT_OBJECT_0 + i;
                }
            }
        }
        if (timeout_ms == 0) {
            return WAIT_TIMEOUT;
        }
        std::uint32_t remaining = 0;
        if (timeout_ms != INFINITE) {
            const std::uint32_t elapsed = clock::peek() - start; // wraps with the tick
            if (elapsed >= timeout_ms) {
                return WAIT_TIMEOUT;
            }
            remaining = timeout_ms - elapsed;
        }
        if (!clock::is_manual()) {
            if (timeout_ms == INFINITE) {
                detail::wait_changed().wait(lock);
            } else {
                detail::wait_changed().wait_for(lock, std::chrono::milliseconds(remaining));
            }
            continue;
        }
        const std::uint64_t generation = clock::generation();
        if (generation != seen_generation) {
            seen_generation = generation;
            idle_since = steady::now();
        }
        const std::chrono::milliseconds limit(
            detail::wait_state().manual_limit_ms.load(std::memory_order_relaxed));
        if (timeout_ms == INFINITE || limit.count() <= 0) {
            detail::wait_changed().wait(lock);
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
        detail::wait_changed().wait_for(lock, limit - idle);
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
    std::vector<std::shared_ptr<platform::WaitableObject>> objects;
    if (!platform::collect(1, &hHandle, objects)) {
        return WAIT_FAILED;
    }
    return platform::wait_for(objects.data(), 1, false, dwMilliseconds);
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
