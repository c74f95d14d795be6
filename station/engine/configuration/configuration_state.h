// What the station keeps of its stored configurations while it runs: the current one, the
// dialog's own load in progress, a scheduled load waiting for the message boxes to close, and
// the values of the "per" file that no other part of the station holds.
#pragma once

#include "conf_main.h"
#include "window_place.h"

#include <array>
#include <cstdint>

namespace station {

struct ConfigurationState {
    // The configuration loaded or saved last (1..99).
    int CurConf = 1;
    // Set while the stored-configurations dialog loads a configuration: the access-status
    // refresh at the end of the load leaves that dialog open.
    bool ConfLoading = false;
    // A scheduled load that fell due while a message box was open (0: none).
    int PendingLoad = 0;

    // Kept from the "per" file, written back on saving. Camera c is entry c - 1, station s
    // (0 this one, 1..20 remote) entry s.
    WindowPlace MainPlace{100, 100, 100, 300};
    std::int32_t PlayInterval = 1;
    std::int32_t JpegQuality = 50;
    std::array<bool, kConfCameras> RequestFiltr = AllFlagsSet<kConfCameras>();
    std::array<bool, kConfCameras> AlarmFiltr = AllFlagsSet<kConfCameras>();
    std::array<bool, kConfStations> SystemFiltr = AllFlagsSet<kConfStations>();
    std::array<std::int32_t, kConfCameras> CamBright{};
    std::array<std::int32_t, kConfCameras> CamContr{};
    bool PciFix = false;
};

// The values of `conf` the state keeps (the main window's place included).
void KeepConfMain(const ConfMain& conf, ConfigurationState& state);
// Overwrites those values in `conf`.
void CollectKept(const ConfigurationState& state, ConfMain& conf);

} // namespace station
