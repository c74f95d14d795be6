// Access tokens of the process: its privileges can be looked up by name and enabled or
// disabled. The process holds every privilege of the table in src/token.cpp unless a test took
// one away (platform/token_state.h); none is enabled at start.
#pragma once

#include "win32/types.h"

#ifndef ERROR_NO_TOKEN
#define ERROR_NO_TOKEN 1008L
#endif
#ifndef ERROR_NO_SUCH_PRIVILEGE
#define ERROR_NO_SUCH_PRIVILEGE 1313L
#endif

// Token access rights.
#define TOKEN_ASSIGN_PRIMARY 0x0001u
#define TOKEN_DUPLICATE 0x0002u
#define TOKEN_IMPERSONATE 0x0004u
#define TOKEN_QUERY 0x0008u
#define TOKEN_QUERY_SOURCE 0x0010u
#define TOKEN_ADJUST_PRIVILEGES 0x0020u
#define TOKEN_ADJUST_GROUPS 0x0040u
#define TOKEN_ADJUST_DEFAULT 0x0080u
#define TOKEN_ALL_ACCESS 0x000F01FFu

// Privilege attributes.
#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001u
#define SE_PRIVILEGE_ENABLED 0x00000002u
#define SE_PRIVILEGE_REMOVED 0x00000004u
#define SE_PRIVILEGE_USED_FOR_ACCESS 0x80000000u

#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"
#define SE_LOAD_DRIVER_NAME "SeLoadDriverPrivilege"
#define SE_SYSTEMTIME_NAME "SeSystemtimePrivilege"
#define SE_DEBUG_NAME "SeDebugPrivilege"
#define SE_REMOTE_SHUTDOWN_NAME "SeRemoteShutdownPrivilege"

typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID, *PLUID;

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;

// PrivilegeCount entries follow in place of the one declared.
typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

static_assert(sizeof(LUID) == 8 && sizeof(LUID_AND_ATTRIBUTES) == 12);
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);

extern "C" {
// Only the calling process (GetCurrentProcess()) has a token here.
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
// Only the local system (null or empty name). An unknown name: ERROR_NO_SUCH_PRIVILEGE.
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);
// Needs TOKEN_ADJUST_PRIVILEGES (and TOKEN_QUERY for PreviousState). Succeeds also when a
// privilege the token does not hold was asked for: the last error is then ERROR_NOT_ALL_ASSIGNED,
// otherwise ERROR_SUCCESS.
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);
}
