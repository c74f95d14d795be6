// Windows (user32): handles and messages, as far as the platform's windows need them. Every
// HWND names a window of the platform's window table (platform/window_table.h): the capture
// windows of the capture layer (vfw.h) answer SendMessageA; PostMessageA is how a driver's
// window callback reaches a window.
#pragma once

#include "win32/gdi_types.h"
#include "win32/types.h"

#define WM_USER 0x0400u
#define WM_DESTROY 0x0002u
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu

// Window styles the station passes when it creates capture windows.
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_BORDER 0x00800000u

// ShowWindow commands (every command but SW_HIDE shows the window).
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10

// SetWindowPos flags.
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOACTIVATE 0x0010u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u

// SendMessageA to every top-level window (the open dialogs); the answer is 0.
#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0xFFFF)))

extern "C" {
// Calls the window's handler on the calling thread and returns its answer; 0 for a window
// that does not exist (any more).
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Hands the message to the window without waiting; FALSE for a window that does not exist.
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI IsWindow(HWND hWnd);
// The thread that created the window (0 for an unknown window); the process id is this
// process's.
DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
// A window's visibility and placement are kept (nothing is drawn). ShowWindow answers whether
// the window was visible before.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
BOOL WINAPI IsWindowVisible(HWND hWnd);
BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags);
// A capture window first ends its capture and disconnects its driver. FALSE for an unknown
// window.
BOOL WINAPI DestroyWindow(HWND hWnd);
// Between screen and client coordinates. A window's client area starts at its placement's
// x and y, which are taken as screen coordinates (windows here have no frames and no nesting).
// FALSE for an unknown window.
BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint);
BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint);
// Answers whether the window was disabled before; FALSE for an unknown window.
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
BOOL WINAPI IsWindowEnabled(HWND hWnd);
// WM_SETTEXT and WM_GETTEXT to the window.
BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString);
int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
}
