// Loadable modules (ELF shared objects under Windows-style names).
// A bare name is searched in the program's folder (the folder of the main executable), then in
// the system directory; a name with a folder is taken as it is. Names match case-insensitively
// and ".dll" is added to a name without an extension. Every module is loaded with its symbols
// local, so two copies of one library file under different paths share no state. Loading the
// same file again gives the same handle and counts a reference.
#pragma once

#include "win32/types.h"

// The reasons a module's entry point DllMain(HINSTANCE, DWORD reason, LPVOID) is called with.
// LoadLibraryA calls an exported DllMain with DLL_PROCESS_ATTACH at the first load (FALSE
// refuses the load: ERROR_DLL_INIT_FAILED), FreeLibrary with DLL_PROCESS_DETACH at the last
// free. Thread notifications are not delivered.
#define DLL_PROCESS_DETACH 0u
#define DLL_PROCESS_ATTACH 1u
#define DLL_THREAD_ATTACH 2u
#define DLL_THREAD_DETACH 3u

extern "C" {
// Null with ERROR_MOD_NOT_FOUND when no file is found or a library it needs is missing,
// ERROR_PROC_NOT_FOUND when a function it imports is missing, ERROR_BAD_FORMAT when the file is
// no loadable image (platform::module_load_error() tells why).
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// Only symbols the module itself defines are found (not those of the libraries it uses).
// Ordinals are not supported. Null with ERROR_PROC_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Null gives the main program; otherwise a module of the process by file name (with or
// without folder), without counting a reference.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// The module's file path (null: the program's). Returns the length copied without the
// terminating zero; when the buffer is too small the path is cut, still zero-terminated, the
// result is nSize and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// Turns off the module's thread attach and detach notifications (recorded per module,
// platform::thread_library_calls_enabled). FALSE with ERROR_INVALID_HANDLE for an unknown
// module.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);
}
