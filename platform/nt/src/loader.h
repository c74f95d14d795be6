// Loads kernel-driver images into this process's kernel and unloads them.
#pragma once

#include "nt/ntdef.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tolm_nt {

// dlopens `image`, creates the driver object and calls DriverEntry with the service's registry
// path. Returns a Win32 error (0 on success).
DWORD load_driver(const std::string& service, const std::filesystem::path& image);
bool driver_loaded(const std::string& service);
bool driver_can_stop(const std::string& service);
// DriverUnload, then the unload report and release of what the driver left. Returns a Win32
// error: ERROR_SERVICE_NOT_ACTIVE, ERROR_INVALID_SERVICE_CONTROL (no unload routine),
// ERROR_SERVICE_CANNOT_ACCEPT_CTRL (its devices are open).
DWORD unload_driver(const std::string& service);
std::vector<std::string> loaded_drivers();

// Win32 error for an NT status, as the user-mode calls report it.
DWORD win32_error(NTSTATUS status);

} // namespace tolm_nt
