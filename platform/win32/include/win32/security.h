// Security attributes as the creating calls take them. Only bInheritHandle has a meaning to the
// platform (handles are never inherited here); the descriptor is ignored.
#pragma once

#include "win32/types.h"

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
