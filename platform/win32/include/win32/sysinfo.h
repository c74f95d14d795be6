// System information: the tick count and the version of the system (an NT-line 5.1).
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

static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156);

extern "C" {
// Milliseconds of the platform clock; wraps at 2^32.
DWORD WINAPI GetTickCount();
// Low byte major version (5), next byte minor version (1), high word the build number with
// its top bit clear (the NT line).
DWORD WINAPI GetVersion();
// dwOSVersionInfoSize must be the size of OSVERSIONINFOA or OSVERSIONINFOEXA, else FALSE with
// ERROR_INSUFFICIENT_BUFFER.
BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
}
