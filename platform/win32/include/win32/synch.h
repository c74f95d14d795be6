// Events, mutexes and waits.
// Named objects are system-wide: every process that holds a name keeps a lock on its file in
// the system root, so a name exists exactly while some process holds it open and is freed when
// the last holder ends, however it ends. Names are case-sensitive. Within one process a name
// is one object with full semantics; across processes only the existence of the name (and its
// kind) is shared: setting an event or owning a mutex in one process is not seen in another.
#pragma once

#include "win32/security.h"
#include "win32/types.h"

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

#define SYNCHRONIZE 0x00100000u
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x001F0003u
#define MUTEX_ALL_ACCESS 0x001F0001u

extern "C" {
// A null or empty name makes an unnamed object. An existing name gives a new handle to that
// object with last error ERROR_ALREADY_EXISTS (the other arguments are then ignored); a name
// held by an object of the other kind fails with ERROR_INVALID_HANDLE. On success with a new
// object the last error is 0.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCSTR lpName);
// Null with ERROR_FILE_NOT_FOUND when no process holds the name.
HANDLE WINAPI OpenEventA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName);
BOOL WINAPI SetEvent(HANDLE hEvent);
BOOL WINAPI ResetEvent(HANDLE hEvent);

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                           LPCSTR lpName);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL WINAPI ReleaseMutex(HANDLE hMutex);

// Timeouts in milliseconds of the platform clock; INFINITE waits without limit.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// Wait-any returns WAIT_OBJECT_0 + the lowest index among the signalled objects; wait-all
// returns WAIT_OBJECT_0 once all are signalled at the same time and takes them together.
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds);

// On the manual clock a sleep advances the clock instead of blocking. Sleep(0) yields.
void WINAPI Sleep(DWORD dwMilliseconds);
}
