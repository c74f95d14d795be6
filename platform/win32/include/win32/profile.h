// Reading ini files: "[section]" lines and "key=value" lines; section and key names match
// case-insensitively, blanks around names and values are dropped, lines starting with ';'
// are comments. A file name without a folder is looked up in the Windows directory.
#pragma once

#include "win32/types.h"

extern "C" {

// The value's leading decimal integer (optionally signed; 0 when it has no digits), or
// `default_value` when the file, the section or the key is missing.
UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file);

// The value (one pair of enclosing quotes removed), or `default_value` (trailing blanks
// removed) when missing. A null key lists the section's keys, a null section the sections,
// each name zero-terminated and the list ended by a second zero. Answers the characters
// copied without the final zero: `size` - 1 for a cut value, `size` - 2 for a cut list.
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                      LPSTR buffer, DWORD size, LPCSTR file);
}
