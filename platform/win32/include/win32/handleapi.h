// Closing any handle of the process handle table (events, mutexes, threads, files, devices).
#pragma once

#include "win32/types.h"

extern "C" {
// FALSE with ERROR_INVALID_HANDLE for an unknown handle; TRUE for the pseudo handle of the
// current process, which needs no closing.
BOOL WINAPI CloseHandle(HANDLE hObject);
}
