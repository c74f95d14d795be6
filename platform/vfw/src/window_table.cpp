// The window table and the message calls on it.
#include "platform/window_table.h"
#include "vfw/window_messages.h"

#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex table_mutex;
std::map<HWND, std::shared_ptr<Window>>& table() {
    static auto* windows = new std::map<HWND, std::shared_ptr<Window>>;
    return *windows;
}
ULONG_PTR next_handle = 0x10010;

} // namespace

HWND register_window(std::shared_ptr<Window> window) {
    std::lock_guard lock(table_mutex);
    auto hwnd = reinterpret_cast<HWND>(next_handle);
    next_handle += 4;
    table().emplace(hwnd, std::move(window));
    return hwnd;
}

std::shared_ptr<Window> lookup_window(HWND hwnd) {
    std::lock_guard lock(table_mutex);
    auto it = table().find(hwnd);
    return it == table().end() ? nullptr : it->second;
}

bool unregister_window(HWND hwnd) {
    std::lock_guard lock(table_mutex);
    return table().erase(hwnd) != 0;
}

} // namespace platform

extern "C" {

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
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

BOOL WINAPI DestroyWindow(HWND hWnd) {
    auto window = platform::lookup_window(hWnd);
    if (!window) {
        return FALSE;
    }
    window->destroy();
    platform::unregister_window(hWnd);
    return TRUE;
}
}
