// DriverCallback: how a driver reports to its client.
#include "mmsystem.h"

#include "platform/sync.h"
#include "win32/window.h"

extern "C" BOOL WINAPI DriverCallback(DWORD_PTR dwCallback, DWORD dwFlags, HDRVR hDevice,
                                      DWORD dwMsg, DWORD_PTR dwUser, DWORD_PTR dwParam1,
                                      DWORD_PTR dwParam2) {
    if (dwCallback == 0) {
        return FALSE;
    }
    switch (dwFlags & DCB_TYPEMASK) {
    case DCB_FUNCTION:
        reinterpret_cast<DRVCALLBACK>(dwCallback)(hDevice, dwMsg, dwUser, dwParam1, dwParam2);
        return TRUE;
    case DCB_WINDOW:
        return PostMessageA(reinterpret_cast<HWND>(dwCallback), dwMsg,
                            reinterpret_cast<WPARAM>(hDevice), static_cast<LPARAM>(dwParam1));
    case DCB_EVENT:
        return platform::signal_event(reinterpret_cast<HANDLE>(dwCallback)) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}
