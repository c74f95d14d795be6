// Conversion between the ANSI code page and UTF-16. The ANSI code page of this system is 1251
// (Cyrillic); CP_ACP and 1251 name the same table. Byte 0x98, which code page 1251 leaves
// undefined, converts to U+FFFD, and characters outside the table convert to '?'.
#pragma once

#include "win32/types.h"

#define CP_ACP 0u
#define CP_1251 1251u

extern "C" {
// With `cchWideChar` 0 answers the characters needed. A source length of -1 includes the
// terminating zero. 0 with ERROR_INSUFFICIENT_BUFFER (the buffer too small),
// ERROR_INVALID_PARAMETER (a code page other than CP_ACP and 1251, null source).
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
// The same the other way; `lpUsedDefaultChar` (may be null) tells whether a character had no
// byte and became `lpDefaultChar` (null: '?').
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar);
}
