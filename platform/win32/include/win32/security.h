// The security-attributes record that creation calls take (files, keys, events, threads).
// Security descriptors are not modelled; only the inherit flag is carried.
#pragma once

#include "win32/types.h"

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

static_assert(sizeof(SECURITY_ATTRIBUTES) == 3 * sizeof(void*));
