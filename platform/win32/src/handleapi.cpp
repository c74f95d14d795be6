#include "win32/handleapi.h"

#include "platform/handles.h"
#include "win32/threads.h"

extern "C" {

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (hObject == GetCurrentProcess()) {
        return TRUE;
    }
    return platform::close_handle(hObject) ? TRUE : FALSE;
}
}
