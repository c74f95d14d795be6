// The station's table sizes: capture chips, cameras per chip, camera-window slots, remote
// stations, control monitors and stored configurations. Chips, cameras, slots, stations,
// monitors and configurations are numbered from 1.
#pragma once

#include <cstdint>

namespace station {

inline constexpr int kChipCount = 4;
inline constexpr int kCameraCount = 16;
inline constexpr int kSlotCount = 32;
inline constexpr int kRemoteStationCount = 20;
inline constexpr int kMonitorCount = 4;
inline constexpr int kConfigurationCount = 99;
// The highest camera level (the level DAC's 6 bits).
inline constexpr std::int32_t kMaxCameraLevel = 63;

// 1..kChipCount etc.; every window field used as an index passes one of these first.
inline constexpr bool ValidChip(int k) {
    return k >= 1 && k <= kChipCount;
}
inline constexpr bool ValidCamera(int c) {
    return c >= 1 && c <= kCameraCount;
}
inline constexpr bool ValidSlot(int s) {
    return s >= 1 && s <= kSlotCount;
}
inline constexpr bool ValidRemote(int n) {
    return n >= 1 && n <= kRemoteStationCount;
}
inline constexpr bool ValidMonitor(int m) {
    return m >= 1 && m <= kMonitorCount;
}

} // namespace station
