// Where the module and version calls look for a file named in Windows style.
#pragma once

#include <filesystem>

namespace platform::detail {

// A module name as LoadLibraryA takes it: ".dll" added when the name has no extension; a
// bare name searched in the program folder, then the system directory. Empty when not found.
std::filesystem::path find_module_file(const char* name);
// A file name as the version calls take it: as written (relative to the current folder), else
// for a bare name the same search as modules. Empty when not found.
std::filesystem::path find_file_for_version(const char* name);

} // namespace platform::detail
