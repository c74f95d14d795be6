// The station-wide values of the settings files: one `SettingsState` is part of the station's
// state (`lifecycle/station_state.h`); the loaders and savers of `settings_files.h` fill and
// write it.
#pragma once

#include "base/limits.h"

#include <array>
#include <cstdint>
#include <string>

namespace station {

inline constexpr std::int32_t kDefaultPort = 1018;

// Address indexes are 1-based into board control's fixed I2C address lists (one multiplexer,
// one DAC, two sensor and two relay addresses); boards are 1..4.
struct HrdMapTable {
    std::int32_t CommAdr;
    std::int32_t CommChanel;
    std::int32_t DacAdr;
    std::int32_t DacChanel;
    std::int32_t SensAdr;
    std::int32_t SensChanel;
    std::int32_t UprAdr;
    std::int32_t UprChanel;
    bool operator==(const HrdMapTable&) const = default;
};
inline constexpr int kCommAddressCount = 1;
inline constexpr int kDacAddressCount = 1;
inline constexpr int kSensAddressCount = 2;
inline constexpr int kUprAddressCount = 2;
inline constexpr int kBoardCount = 4;
// The map of a missing file, and the provisional map of the first start-up stage.
inline constexpr HrdMapTable kHrdMapDefaults{1, 1, 1, 1, 1, 4, 1, 4};
inline constexpr HrdMapTable kHrdMapProvisional{1, 1, 1, 1, 1, 2, 1, 2};

inline constexpr int kBufDirCount = 10;

struct ConfScheduleEntry {
    std::int16_t Hour = 0;
    std::int16_t Minute = 0;
    bool Enabled = false;
    std::string Name;
    std::int16_t Day = 1;
    std::int16_t Month = 1;
    std::int16_t Year = 2000;
    // 0 on the given date, 1 daily, 2 Monday to Friday, 3 Saturday and Sunday.
    std::int16_t Mode = 1;
    bool operator==(const ConfScheduleEntry&) const = default;
};

struct SettingsState {
    // "netini.pdt": the listening port; entry n - 1 belongs to remote station n; the reserved
    // value at the end of the file is only kept and written back.
    std::int32_t ServerPort = kDefaultPort;
    std::array<std::int32_t, kRemoteStationCount> RemPorts = [] {
        std::array<std::int32_t, kRemoteStationCount> ports{};
        ports.fill(kDefaultPort);
        return ports;
    }();
    std::array<std::string, kRemoteStationCount> RemAddresses{};
    std::int16_t NetReserved = 7;

    // "hrdini.pdt": the board register map.
    HrdMapTable HrdMap = kHrdMapProvisional;

    // "bufini.pdt": write mode, the reserved flag after it (only kept and written back), the
    // archive directories (entry i - 1 is directory i) with their free-space limits.
    bool CyclicWrite = true;
    bool BufReservedFlag = false;
    std::array<std::string, kBufDirCount> BufDirs{};
    std::array<std::int32_t, kBufDirCount> BufMinFree = {10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
    bool UseCashe = true;

    // "stl.pdt" and "aur.pdt".
    bool StealthAtStart = false;
    bool AutoStart = false;

    // "cnf.pdt": entry n - 1 is configuration n.
    std::array<ConfScheduleEntry, kConfigurationCount> ConfSchedule{};
};

} // namespace station
