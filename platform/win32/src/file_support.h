// Shared pieces of the file calls: host errors as Win32 codes, host paths, attributes, times.
#pragma once

#include "win32/types.h"

#include "win32/files.h"

#include <filesystem>
#include <sys/stat.h>

namespace platform {

// The Win32 code for `err` (an errno value) from a call on `path`. A missing entry is
// ERROR_FILE_NOT_FOUND when its folder exists, else ERROR_PATH_NOT_FOUND.
DWORD win32_error_from_errno(int err, const std::filesystem::path& path);

// Host path of a Win32 name; an empty or null name yields an empty path.
std::filesystem::path host_path(const char* name);

// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE, with FILE_ATTRIBUTE_READONLY for a file
// its owner may not write.
DWORD attributes_of(const struct stat& st);

// True when the file `st` describes is mapped into this process as a loaded module image
// (a library or a driver image). Windows refuses to write such a file (sharing violation);
// writing it in place here would change the code under the running module. `st` describes the
// file at `path`; a file that is no ELF image is told apart by its first bytes, before the
// process's mappings are searched.
bool is_loaded_image(const std::filesystem::path& path, const struct stat& st);

// A host time as FILETIME.
FILETIME filetime_of(const struct timespec& t);

} // namespace platform
