#include "named_registry.h"
#include "platform/named_objects.h"
#include "platform/sync.h"
#include "wait_lock.h"
#include "win32/errors.h"
#include "win32/synch.h"

namespace platform {
namespace {

// An event that holds a system-wide name.
class NamedEvent final : public EventObject {
public:
    NamedEvent(bool manual_reset, bool initially_set, std::unique_ptr<detail::NameHold> hold)
        : EventObject(manual_reset, initially_set), hold_(std::move(hold)) {}

private:
    std::unique_ptr<detail::NameHold> hold_;
};

// The lock file records the reset mode, so another process's handle behaves alike.
std::string event_record(bool manual_reset) {
    return manual_reset ? "event manual" : "event auto";
}

HANDLE named_event(const char* name, bool manual_reset, bool initially_set, detail::NameMode mode) {
    const auto found = detail::find_or_make_named(
        name, "event", event_record(manual_reset), mode,
        [&](const std::string& record, bool fresh, std::unique_ptr<detail::NameHold> hold) {
            // A name made by another process starts unset here: its state is not shared.
            const bool manual = fresh ? manual_reset : record == event_record(true);
            return std::make_shared<NamedEvent>(manual, fresh && initially_set, std::move(hold));
        });
    if (!found.object) {
        SetLastError(found.error);
        return nullptr;
    }
    const HANDLE h = make_handle(found.object);
    SetLastError(found.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

} // namespace

void EventObject::set() {
    change_state([this] { set_ = true; });
}

void EventObject::reset() {
    change_state([this] { set_ = false; });
}

bool EventObject::is_set() const {
    std::lock_guard lock(detail::wait_mutex());
    return set_;
}

bool EventObject::ready(DWORD) const {
    return set_;
}

void EventObject::acquire(DWORD) {
    if (!manual_reset_) {
        set_ = false;
    }
}

HANDLE create_event(bool manual_reset, bool initially_set) {
    return make_handle(std::make_shared<EventObject>(manual_reset, initially_set));
}

namespace {

bool change_event(HANDLE h, void (EventObject::*change)()) {
    const auto event = lookup_handle_as<EventObject>(h);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    ((*event).*change)();
    return true;
}

} // namespace

bool signal_event(HANDLE h) {
    return change_event(h, &EventObject::set);
}

bool reset_event(HANDLE h) {
    return change_event(h, &EventObject::reset);
}

HANDLE create_event_exclusive(const char* name, bool manual_reset, bool initially_set) {
    if (name == nullptr || *name == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return named_event(name, manual_reset, initially_set, detail::NameMode::create_exclusive);
}

} // namespace platform

extern "C" {

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName) {
    if (lpName == nullptr || *lpName == '\0') {
        const HANDLE h = platform::create_event(bManualReset != FALSE, bInitialState != FALSE);
        SetLastError(ERROR_SUCCESS);
        return h;
    }
    return platform::named_event(lpName, bManualReset != FALSE, bInitialState != FALSE,
                                 platform::detail::NameMode::create);
}

HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR lpName) {
    if (lpName == nullptr || *lpName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HANDLE h = platform::named_event(lpName, false, false, platform::detail::NameMode::open);
    if (h != nullptr) {
        SetLastError(ERROR_SUCCESS);
    }
    return h;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    return platform::signal_event(hEvent) ? TRUE : FALSE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return platform::reset_event(hEvent) ? TRUE : FALSE;
}
}
