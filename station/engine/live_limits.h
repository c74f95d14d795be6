// Sizes of the live-video tables: chips, cameras per chip, camera-window slots, remote stations
// and descriptors per chip. Chips, cameras, slots and stations are numbered from 1.
#pragma once

namespace station {

inline constexpr int kLiveChips = 4;
inline constexpr int kLiveCameras = 16;
inline constexpr int kLiveSlots = 32;
inline constexpr int kLiveRemotes = 20;
inline constexpr int kLiveMonitors = 4;

// 1..kLiveChips etc.; every window field used as an index passes one of these first.
inline constexpr bool ValidChip(int k) {
    return k >= 1 && k <= kLiveChips;
}
inline constexpr bool ValidCamera(int c) {
    return c >= 1 && c <= kLiveCameras;
}
inline constexpr bool ValidSlot(int s) {
    return s >= 1 && s <= kLiveSlots;
}
inline constexpr bool ValidRemote(int n) {
    return n >= 1 && n <= kLiveRemotes;
}
inline constexpr bool ValidMonitor(int m) {
    return m >= 1 && m <= kLiveMonitors;
}

} // namespace station
