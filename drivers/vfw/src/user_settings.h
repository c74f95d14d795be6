// Per-user settings of a copy under HKEY_CURRENT_USER, and the 64-byte settings file of
// DVM_CONFIGURESTORAGE.
#pragma once

#include "driver_state.h"

#include <array>

namespace tarvovfw {

// The value, or `fallback` when the key or value is missing, of another type, or outside
// [low, high].
DWORD read_driver_setting(const DriverNameRecord& name, const char* value, DWORD fallback,
                          int index, DWORD low, DWORD high);
bool write_driver_setting(const DriverNameRecord& name, const char* value, DWORD data, int index);

// Loads the settings into the instance's records and current format and sends the three
// records to the kernel device.
void apply_device_settings(DeviceInstance& instance);

// The settings file: the three records, every field a little-endian 32-bit integer.
inline constexpr std::size_t kStorageBytes = 64;
std::array<BYTE, kStorageBytes> encode_storage(const DeviceInstance& instance);
// Takes the values of a file into the instance. The records' size words and the palette table's
// address and size stay those of the instance; a value outside its range keeps the instance's.
void decode_storage(const std::array<BYTE, kStorageBytes>& bytes, DeviceInstance& instance);
LRESULT configure_storage(DeviceInstance& instance, LPCSTR path, DWORD flags);

} // namespace tarvovfw
