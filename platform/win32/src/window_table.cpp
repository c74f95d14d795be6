// The window table and the message calls on it.
#include "platform/window_table.h"
#include "win32/threads.h"
#include "win32/window.h"

#include <map>
#include <mutex>
#include <vector>

namespace platform {
namespace {

struct Entry {
    std::shared_ptr<Window> window;
    WindowPlacement placement;
    DWORD thread = 0; // the creating thread
};

std::mutex table_mutex;
std::map<HWND, Entry>& table() {
    static auto* windows = new std::map<HWND, Entry>;
    return *windows;
}

// Runs `change` on the placement of `hwnd` under the table lock; false for an unknown window.
template <typename F> bool with_placement(HWND hwnd, F change) {
    std::lock_guard lock(table_mutex);
    auto it = table().find(hwnd);
    if (it == table().end()) {
        return false;
    }
    change(it->second.placement);
    return true;
}
ULONG_PTR next_handle = 0x10010;

} // namespace

HWND register_window(std::shared_ptr<Window> window, WindowPlacement placement) {
    std::lock_guard lock(table_mutex);
    auto hwnd = reinterpret_cast<HWND>(next_handle);
    next_handle += 4;
    table().emplace(hwnd, Entry{std::move(window), placement, GetCurrentThreadId()});
    return hwnd;
}

std::shared_ptr<Window> lookup_window(HWND hwnd) {
    std::lock_guard lock(table_mutex);
    auto it = table().find(hwnd);
    return it == table().end() ? nullptr : it->second.window;
}

bool window_placement(HWND hwnd, WindowPlacement& out) {
    return with_placement(hwnd, [&](WindowPlacement& p) { out = p; });
}

bool unregister_window(HWND hwnd) {
    std::lock_guard lock(table_mutex);
    return table().erase(hwnd) != 0;
}

} // namespace platform

extern "C" {

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == HWND_BROADCAST) {
        // Handlers may open or close windows: send to a snapshot, newest first, skipping
        // windows that left the table meanwhile.
        std::vector<HWND> targets;
        {
            std::lock_guard lock(platform::table_mutex);
            for (const auto& [hwnd, entry] : platform::table()) {
                if (entry.window->top_level()) {
                    targets.push_back(hwnd);
                }
            }
        }
        for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
            if (auto window = platform::lookup_window(*it)) {
                window->send(Msg, wParam, lParam);
            }
        }
        return 0;
    }
    auto window = platform::lookup_window(hWnd);
    return window ? window->send(Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto window = platform::lookup_window(hWnd);
    return window && window->post(Msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return platform::lookup_window(hWnd) ? TRUE : FALSE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    DWORD thread = 0;
    {
        std::lock_guard lock(platform::table_mutex);
        auto it = platform::table().find(hWnd);
        if (it == platform::table().end()) {
            return 0;
        }
        thread = it->second.thread;
    }
    if (lpdwProcessId != nullptr) {
        *lpdwProcessId = GetCurrentProcessId();
    }
    return thread;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    bool was_visible = false;
    platform::with_placement(hWnd, [&](platform::WindowPlacement& p) {
        was_visible = p.visible;
        p.visible = nCmdShow != SW_HIDE;
    });
    return was_visible ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    platform::WindowPlacement p;
    return platform::window_placement(hWnd, p) && p.visible ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags) {
    return platform::with_placement(hWnd,
                                    [&](platform::WindowPlacement& p) {
                                        if (!(uFlags & SWP_NOMOVE)) {
                                            p.x = X;
                                            p.y = Y;
                                        }
                                        if (!(uFlags & SWP_NOSIZE)) {
                                            p.width = cx;
                                            p.height = cy;
                                        }
                                        if (uFlags & SWP_SHOWWINDOW) {
                                            p.visible = true;
                                        } else if (uFlags & SWP_HIDEWINDOW) {
                                            p.visible = false;
                                        }
                                    })
               ? TRUE
               : FALSE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    auto window = platform::lookup_window(hWnd);
    if (!window) {
        return FALSE;
    }
    window->destroy();
    platform::unregister_window(hWnd);
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    platform::WindowPlacement p;
    if (lpPoint == nullptr || !platform::window_placement(hWnd, p)) {
        return FALSE;
    }
    lpPoint->x -= p.x;
    lpPoint->y -= p.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    platform::WindowPlacement p;
    if (lpPoint == nullptr || !platform::window_placement(hWnd, p)) {
        return FALSE;
    }
    lpPoint->x += p.x;
    lpPoint->y += p.y;
    return TRUE;
}
}

extern "C" {

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    bool was_disabled = false;
    platform::with_placement(hWnd, [&](platform::WindowPlacement& p) {
        was_disabled = !p.enabled;
        p.enabled = bEnable != FALSE;
    });
    return was_disabled ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    platform::WindowPlacement p;
    return platform::window_placement(hWnd, p) && p.enabled ? TRUE : FALSE;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    return IsWindow(hWnd) && SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString))
               ? TRUE
               : FALSE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (lpString == nullptr || nMaxCount <= 0) {
        return 0;
    }
    lpString[0] = '\0';
    return int(
        SendMessageA(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}
}
