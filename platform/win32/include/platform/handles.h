// The process's handle table: every Win32 handle (events, threads, files, devices, services,
// registry keys) names a reference-counted object here. Closing removes the table's reference;
// an object lives on while a waiter or another component still holds it.
#pragma once

#include "win32/types.h"

#include <memory>

namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called when its last handle is closed (before the table drops its reference).
    virtual void on_close() {}
};

// Enters `object` into the table and returns its new handle (never null or INVALID_HANDLE_VALUE).
HANDLE make_handle(std::shared_ptr<KernelObject> object);
// The object behind `h`, or null for an unknown or closed handle.
std::shared_ptr<KernelObject> lookup_handle(HANDLE h);
// Removes `h`; false (last error ERROR_INVALID_HANDLE) when it is not in the table.
bool close_handle(HANDLE h);

template <typename T> std::shared_ptr<T> lookup_handle_as(HANDLE h) {
    return std::dynamic_pointer_cast<T>(lookup_handle(h));
}

} // namespace platform
