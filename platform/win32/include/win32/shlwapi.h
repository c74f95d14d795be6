// The shell's registry helper: deleting a key with everything below it (RegDeleteKeyA deletes
// only a key without subkeys).
#pragma once

#include "win32/registry.h"

extern "C" {
// Deletes `subkey` of `key`, its subkeys and values, in one change of the hive. A Win32 error
// code: ERROR_FILE_NOT_FOUND when the key is not there.
LONG WINAPI SHDeleteKeyA(HKEY key, LPCSTR subkey);
}
