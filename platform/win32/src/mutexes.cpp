#include "named_registry.h"
#include "platform/sync.h"
#include "wait_lock.h"
#include "win32/errors.h"
#include "win32/synch.h"
#include "win32/threads.h"

namespace platform {
namespace {

// A mutex owned by one thread at a time, recursively. A thread that ends while owning it does
// not release it (no abandonment is reported).
class MutexObject : public WaitableObject {
public:
    explicit MutexObject(DWORD initial_owner)
        : owner_(initial_owner), count_(initial_owner != 0 ? 1 : 0) {}

    bool ready(DWORD thread) const override { return owner_ == 0 || owner_ == thread; }
    void acquire(DWORD thread) override {
        owner_ = thread;
        ++count_;
    }

    // False when `thread` does not own it.
    bool release(DWORD thread) {
        bool released = false;
        change_state([&] {
            if (owner_ == thread && count_ > 0) {
                released = true;
                if (--count_ == 0) {
                    owner_ = 0;
                }
            }
        });
        return released;
    }

private:
    DWORD owner_;         // guarded by the wait lock; 0 = free
    std::uint32_t count_; // recursion count
};

class NamedMutex final : public MutexObject {
public:
    NamedMutex(DWORD initial_owner, std::unique_ptr<detail::NameHold> hold)
        : MutexObject(initial_owner), hold_(std::move(hold)) {}

private:
    std::unique_ptr<detail::NameHold> hold_;
};

} // namespace
} // namespace platform

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    const DWORD owner = bInitialOwner ? GetCurrentThreadId() : 0;
    if (lpName == nullptr || *lpName == '\0') {
        const HANDLE h = platform::make_handle(std::make_shared<platform::MutexObject>(owner));
        SetLastError(ERROR_SUCCESS);
        return h;
    }
    const auto found = platform::detail::find_or_make_named(
        lpName, "mutex", "mutex", platform::detail::NameMode::create,
        [&](const std::string&, bool fresh, std::unique_ptr<platform::detail::NameHold> hold) {
            // An existing name is not taken, whatever bInitialOwner asks.
            return std::make_shared<platform::NamedMutex>(fresh ? owner : 0, std::move(hold));
        });
    if (!found.object) {
        SetLastError(found.error);
        return nullptr;
    }
    const HANDLE h = platform::make_handle(found.object);
    SetLastError(found.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    const auto mutex = platform::lookup_handle_as<platform::MutexObject>(hMutex);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!mutex->release(GetCurrentThreadId())) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
}
