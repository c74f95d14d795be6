// Everything of the station's board side in one object: the board-control library, board
// control, the PCI host bridge, the level-step histories, the alarm sound, the camera-window
// slots they read and the board port the live engine calls. Start-up creates it before the
// LiveStation, hands `Port` to the LiveStation and attaches the LiveStation once it exists.
#pragma once

#include "alarm/alarm_sound.h"
#include "auto_level.h"
#include "board_control.h"
#include "board_library.h"
#include "board_port_adapter.h"
#include "camera_slots_adapter.h"
#include "host_bridge.h"

#include <array>

namespace station {

struct LiveStation;

struct StationBoard {
    // `base`: the program folder and work log; `map`: the station's board register map
    // ("hrdini.pdt").
    StationBoard(const BaseState& base, const HrdMapTable& map)
        : Control{Library, ChipPresent, map}, Sound{base} {}
    StationBoard(const StationBoard&) = delete;
    StationBoard& operator=(const StationBoard&) = delete;

    BoardLibrary Library;
    // Entry k - 1: chip k is present (the second start-up stage's copy of DriverConnected).
    std::array<bool, kChipCount> ChipPresent{};
    BoardControl Control;
    HostBridge Bridge;
    LevelStepTable LevelSteps{};
    AlarmSound Sound;
    // The live station's window slots, for relays and sound.
    ChanelCameraSlots Windows;
    BoardPortAdapter Port{Library, Control, LevelSteps};
    // Entry k - 1: chip k's colour-format register (decoder 0xD4) as last read.
    std::array<BYTE, kChipCount> ColourFormat{};

    // The live station's camera tables and window slots reach level control, the notch bit,
    // the relays and the sound.
    void Attach(LiveStation& live);

    // Binds "TarvoVFW.DLL" with the live station's connected drivers and, with board control
    // on, reads the host bridge. `BindBoardLibrary` does the same over any lookup.
    void LoadBoardLibrary(const LiveStation& live);
    void BindBoardLibrary(const BoardLibrary::Resolver& find, const LiveStation& live);

    // ChipPresent := DriverConnected for every chip, in the live station and here. True when
    // any chip is present.
    bool TakePresentChips(LiveStation& live);

    // The board step of ReadCaptureFormat: with board control on, ColourFormat of chip k
    // (1..4) from its decoder.
    void ReadColourFormat(int k);
};

} // namespace station
