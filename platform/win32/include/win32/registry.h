// The registry calls on HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER (platform/registry_store.h
// holds how the hives are kept). Key and value names match case-insensitively and keep the
// case they were created with. The calls answer a Win32 error code and leave the last error
// alone.
#pragma once

#include "win32/security.h"
#include "win32/types.h"

typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))

// Value types.
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u
#define REG_RESOURCE_LIST 8u
#define REG_FULL_RESOURCE_DESCRIPTOR 9u
#define REG_RESOURCE_REQUIREMENTS_LIST 10u
#define REG_QWORD 11u

// Key access rights. Querying and enumerating values needs KEY_QUERY_VALUE, setting and
// deleting values KEY_SET_VALUE, enumerating subkeys KEY_ENUMERATE_SUB_KEYS.
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_READ 0x00020019u
#define KEY_WRITE 0x00020006u
#define KEY_EXECUTE 0x00020019u
#define KEY_ALL_ACCESS 0x000F003Fu

// RegCreateKeyExA options and dispositions. Volatile keys are kept like the others.
#define REG_OPTION_NON_VOLATILE 0x00000000u
#define REG_OPTION_VOLATILE 0x00000001u
#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result);
LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subkey, DWORD reserved, LPSTR key_class, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                            LPDWORD disposition);
LONG WINAPI RegCloseKey(HKEY key);
LONG WINAPI RegFlushKey(HKEY key);
// Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED otherwise).
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subkey);

// With `data` null only the size is answered; a `*size` too small for the value gives
// ERROR_MORE_DATA with `*size` set to the size needed.
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
// Stores exactly `size` bytes (a string value includes its terminating zero).
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size);
LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR name);

// Subkey `index` in case-insensitive name order; `size` is the buffer size with room for the
// terminating zero.
LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size);
// Value `index` in the order values were first set. `*name_size` is the buffer size in
// characters and receives the name's length without the zero.
LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                          LPDWORD type, LPBYTE data, LPDWORD data_size);
}
