// The platform's window table: every HWND names a Window object here. The capture layer's
// capture windows live in it; tests enter windows of their own to receive posted messages
// (a driver's window callback).
#pragma once

#include "win32/types.h"

#include <memory>

namespace platform {

class Window {
public:
    virtual ~Window() = default;
    // SendMessageA: runs on the sender's thread.
    virtual LRESULT send(UINT msg, WPARAM wparam, LPARAM lparam) = 0;
    // PostMessageA: must not block; the default drops the message, as a window whose handler
    // ignores it would.
    virtual bool post(UINT msg, WPARAM wparam, LPARAM lparam) { return true; }
    // DestroyWindow, before the handle leaves the table.
    virtual void destroy() {}
    // Top-level windows (dialogs) get the messages sent to HWND_BROADCAST.
    virtual bool top_level() const { return false; }
};

// Where a window is, whether it shows and takes input (kept by the table; windows draw
// nothing).
struct WindowPlacement {
    bool visible = false;
    int x = 0, y = 0, width = 0, height = 0;
    bool enabled = true;
};

// Enters `window` and returns its new handle (never null).
HWND register_window(std::shared_ptr<Window> window, WindowPlacement placement = {});
// The placement of `hwnd`; false for an unknown window.
bool window_placement(HWND hwnd, WindowPlacement& out);
// The window behind `hwnd`, or null.
std::shared_ptr<Window> lookup_window(HWND hwnd);
// Removes `hwnd` without calling destroy(); false when it is not in the table.
bool unregister_window(HWND hwnd);

} // namespace platform
