// Registry helpers of the installer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace setup {

// A REG_DWORD the kernel driver wrote for device `device`: 1 when the device's key cannot be
// opened; `fallback` for a missing value or one of another type or size.
std::int32_t ReadDeviceValue(long device, const char* name, std::int32_t fallback);

} // namespace setup
