// The system root (environment TOLM_SYSROOT) and Windows-style path handling on it.
// Paths given to the Win32 calls may use '\' or '/', and match existing names
// case-insensitively, as on Windows; names keep the case they were created with.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The system root: TOLM_SYSROOT, or the folder set by set_system_root(). Created on first use.
std::filesystem::path system_root();
// Overrides TOLM_SYSROOT for this process (tests use a temporary folder).
void set_system_root(const std::filesystem::path& root);
// <root>/system32 (with its drivers folder) and <root>/windows; created on first use.
std::filesystem::path system_directory();
std::filesystem::path windows_directory();

// Maps a Windows-style path to the host path: separators become '/', and every component
// that matches an existing entry case-insensitively takes that entry's name. A missing tail
// is kept as written. A path without a leading separator is relative to the current folder.
std::filesystem::path resolve_path(std::string_view win_path);

// ASCII case-insensitive comparison, as Windows compares names.
bool iequals(std::string_view a, std::string_view b);

} // namespace platform
