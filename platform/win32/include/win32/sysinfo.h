// System information: the tick count, the local date and time, and the version of the system (an
// NT-line 5.1).
#pragma once

#include "win32/types.h"

#define VER_PLATFORM_WIN32s 0u
#define VER_PLATFORM_WIN32_WINDOWS 1u
#define VER_PLATFORM_WIN32_NT 2u
#define VER_NT_WORKSTATION 1u

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;     // 1..12
    WORD wDayOfWeek; // 0 Sunday .. 6 Saturday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

static_assert(sizeof(SYSTEMTIME) == 16);
static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156);

extern "C" {
// Milliseconds of the platform clock; wraps at 2^32.
DWORD WINAPI GetTickCount();
// The local date and time: the host's, or the fixed one a test set (platform/local_time.h).
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
// Low byte major version (5), next byte minor version (1), high word the build number with
// its top bit clear (the NT line).
DWORD WINAPI GetVersion();
// dwOSVersionInfoSize must be the size of OSVERSIONINFOA or OSVERSIONINFOEXA, else FALSE with
// ERROR_INSUFFICIENT_BUFFER.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
}
