// The station-wide values of one station, grouped by the area that owns them. The program owns
// one `StationState` and hands its parts by reference to what needs them; every test starts
// from a fresh one. Values of later features join it here.
#pragma once

#include "archive/archive_state.h"
#include "access/access_state.h"
#include "base/base_state.h"
#include "settings/settings_state.h"

namespace station {

struct StationState {
    // The language texts, the program folder, the local clock, the work log's switches.
    BaseState Base;
    // The settings files of the program folder.
    SettingsState Settings;
    // The archive's frame encoder.
    archive::ArchiveState Archive;
    // The access level and the rights of the limited level.
    AccessState Access;

    // The network is up (the second start-up stage opened it).
    bool NetworkOn = false;
    // The station runs hidden.
    bool StealthActive = false;
    // The host bridge's fix is wanted (from the configuration).
    bool PciFix = false;
};

} // namespace station
