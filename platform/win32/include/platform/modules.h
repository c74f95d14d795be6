// Modules for the other stand-ins: the program's own path and the mapping between module
// handles, addresses and files.
#pragma once

#include "win32/types.h"

#include <filesystem>
#include <string>

namespace platform {

// The main executable (/proc/self/exe) and its folder, the program folder.
std::filesystem::path program_path();
std::filesystem::path program_directory();

// The file a module handle was loaded from (null: the program); empty for an unknown handle.
std::filesystem::path module_file(HMODULE module);
// The module that holds `address` (code or data), for a module that needs its own handle;
// the program for an address in the main executable; null when no module holds it.
HMODULE module_of_address(const void* address);
// False once the module called DisableThreadLibraryCalls (and for an unknown module).
bool thread_library_calls_enabled(HMODULE module);
// Why the calling thread's last LoadLibraryA failed to load a file it found (the loader's
// message), or empty.
std::string module_load_error();

} // namespace platform
