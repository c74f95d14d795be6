// The diagnostic counters of the board's I2C transactions. Every counter is 64-bit and stops
// at 1,000,000. Only the diagnostics window's general reset clears them.
#pragma once

#include <array>
#include <cstdint>

namespace station {

inline constexpr std::uint64_t kCounterLimit = 1000000;

// Adds one to `counter`, leaving it at kCounterLimit once it gets there.
inline void CountUp(std::uint64_t& counter) {
    if (counter < kCounterLimit) {
        ++counter;
    }
}

// The device kinds, in the order of the diagnostics window's rows.
enum I2CDeviceKind : int {
    kMuxDevices = 0, // the capture and monitor multiplexers
    kDacDevice = 1,  // the camera-level DAC
    kSensorDevices = 2,
    kRelayDevices = 3,
};
inline constexpr int kI2CDeviceKinds = 4;
// Entries 1..8: error codes 1..8 (codes outside 1..7 count in entry 8); entry 9: read-back
// mismatches, written for the multiplexers only.
inline constexpr int kI2CErrorEntries = 9;
inline constexpr int kReadBackMismatch = 9;

struct I2CCounters {
    // [kind][entry - 1]
    std::array<std::array<std::uint64_t, kI2CErrorEntries>, kI2CDeviceKinds> I2CErrorCounts{};
    // Transactions that failed after all their tries, per kind.
    std::array<std::uint64_t, kI2CDeviceKinds> I2CFailTotals{};
    std::uint64_t MuxFailSinceReset = 0;
    std::uint64_t BusResetCount = 0;

    // Counts one failed try of `kind` with the library's error code.
    void CountError(int kind, int code) {
        const int entry = (code >= 1 && code < kI2CErrorEntries - 1) ? code : kI2CErrorEntries - 1;
        CountUp(
            I2CErrorCounts[static_cast<std::size_t>(kind)][static_cast<std::size_t>(entry - 1)]);
    }
    // Counts one multiplexer try whose read-back byte differed from the byte written.
    void CountReadBackMismatch() { CountUp(I2CErrorCounts[kMuxDevices][kReadBackMismatch - 1]); }

    void Clear() { *this = I2CCounters{}; }
};

} // namespace station
