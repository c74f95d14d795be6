// Threads and the current process.
#pragma once

#include "win32/security.h"
#include "win32/types.h"

#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

extern "C" {
// The thread handle is signalled when the thread ends; its exit code is the start routine's
// result or ExitThread's argument. CREATE_SUSPENDED is not supported (ERROR_NOT_SUPPORTED).
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId);
[[noreturn]] void WINAPI ExitThread(DWORD dwExitCode);
// STILL_ACTIVE while the thread runs.
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
DWORD WINAPI GetCurrentThreadId();

// A pseudo handle ((HANDLE)-1) that stands for the calling process.
HANDLE WINAPI GetCurrentProcess();
DWORD WINAPI GetCurrentProcessId();
}
