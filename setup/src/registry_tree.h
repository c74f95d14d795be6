// Registry helpers of the installer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace setup {

// Deletes `subkey` of `key` with everything below it: takes its first subkey again and again
// and deletes that tree, stopping at the first failure; then deletes the subkey itself (which
// fails while a subkey is left). Answers the last Win32 error code.
LONG DeleteRegistryTree(HKEY key, const char* subkey);

// A REG_DWORD the kernel driver wrote for device `device`: 1 when the device's key cannot be
// opened; `fallback` for a missing value or one of another type or size.
std::int32_t ReadDeviceValue(long device, const char* name, std::int32_t fallback);

} // namespace setup
