// Waitable objects for the other stand-ins: what the Win32 waits wait on, and a way to set an
// event from platform code (completion of overlapped device requests signals its event).
//
// Every state change of a waitable object happens under one process-wide wait lock, so a
// wait on several objects sees them consistently and takes them at once. As in a kernel, each
// object keeps the list of the waits blocked on it: a state change satisfies those it can (in
// the order they blocked) and wakes only their threads.
#pragma once

#include "platform/handles.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

namespace detail {
struct WaitLink;  // one blocked wait's entry in one object's list (waits.cpp)
struct WaitLists; // what keeps those lists (waits.cpp)
} // namespace detail

class WaitableObject : public KernelObject {
public:
    // Both are called under the wait lock. Whether a wait by thread `thread` is satisfied now,
    // and the side effect of satisfying it (an auto-reset event resets, a mutex is taken).
    // Under the wait lock nothing may move the clock: read it with clock::peek().
    virtual bool ready(DWORD thread) const = 0;
    virtual void acquire(DWORD thread) {}

protected:
    // Runs `change` under the wait lock, then satisfies the waits blocked on this object that
    // it can, and wakes their threads.
    void change_state(const std::function<void()>& change);

private:
    friend struct detail::WaitLists;
    // The waits blocked on this object, oldest first; guarded by the wait lock.
    detail::WaitLink* first_waiter_ = nullptr;
    detail::WaitLink* last_waiter_ = nullptr;
};

class EventObject : public WaitableObject {
public:
    EventObject(bool manual_reset, bool initially_set)
        : manual_reset_(manual_reset), set_(initially_set) {}

    void set();
    void reset();
    bool is_set() const;
    bool manual_reset() const { return manual_reset_; }

    bool ready(DWORD thread) const override;
    void acquire(DWORD thread) override;

private:
    const bool manual_reset_;
    bool set_; // guarded by the wait lock
};

// Enters a new unnamed event into the handle table (as CreateEventA(NULL, ..., NULL)).
HANDLE create_event(bool manual_reset, bool initially_set);
// SetEvent / ResetEvent for platform code; false (ERROR_INVALID_HANDLE) when `h` is no event.
bool signal_event(HANDLE h);
bool reset_event(HANDLE h);

// Waits on objects of the handle table as WaitForMultipleObjects does (WAIT_OBJECT_0 + i,
// WAIT_TIMEOUT, WAIT_FAILED).
DWORD wait_for(const std::shared_ptr<WaitableObject>* objects, DWORD count, bool wait_all,
               DWORD timeout_ms);

// Timed waits on the manual clock end when the clock has moved past their deadline. So that a
// test which stops moving the clock does not hang, a timed wait that sees neither a signal nor
// a clock change for `limit` of real time advances the manual clock to its own deadline, as a
// sleep would. Zero waits for the clock without limit. The default is one second.
void set_manual_wait_limit(std::chrono::milliseconds limit);

// For tests: how many times a blocked wait's thread has been woken (by a state change that
// satisfied it or by a clock change) since the process started, and how many waits are
// blocked now.
std::uint64_t wait_wakeups();
std::uint32_t blocked_waits();

} // namespace platform
