// Globally unique identifiers as records (class and interface identifiers).
#pragma once

#include "win32/types.h"

#ifndef TOLM_GUID_DEFINED
#define TOLM_GUID_DEFINED
typedef struct _GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
} GUID, *LPGUID;
typedef const GUID* LPCGUID;
static_assert(sizeof(GUID) == 16);
#endif
