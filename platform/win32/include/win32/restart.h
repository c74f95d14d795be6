// Ending the session: log-off, shut-down and restart requests. Nothing is performed here; each
// accepted request is recorded (platform/token_state.h reads the record).
#pragma once

#include "win32/types.h"

#define EWX_LOGOFF 0x00000000u
#define EWX_SHUTDOWN 0x00000001u
#define EWX_REBOOT 0x00000002u
#define EWX_FORCE 0x00000004u
#define EWX_POWEROFF 0x00000008u
#define EWX_FORCEIFHUNG 0x00000010u

extern "C" {
// Shut-down, restart and power-off need SeShutdownPrivilege enabled in the process token
// (else FALSE, ERROR_PRIVILEGE_NOT_HELD); log-off does not.
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason);
}
