// The live-video engine of one station, put together: the camera tables, the window slots,
// the counters, the settings dialog's target, the frame hand-off and the main cycle. Start-up
// creates one with the capture windows, board control and its ports (the remote links, the
// main form's menus and the windows' alarm actions; `NoRemotes`, `NoMenus` and
// `NoFrameActions` where a feature is not wanted); the main form's timers and the camera
// windows drive it.
#pragma once

#include "chanel_slots.h"
#include "chanel_window.h"
#include "diagnostics.h"
#include "frame_handoff.h"
#include "live_ports.h"
#include "main_cycle.h"

#include <memory>

namespace station {

struct LiveStation {
    // The ports the engine calls besides capture and the board.
    struct Ports {
        RemotePort& Remotes;
        MenuPort& Menus;
        FrameActions& Actions;
    };

    // `base`: the station's language texts and clock.
    LiveStation(CapturePort& capture, BoardPort& board, const BaseState& base, Ports ports)
        : Handoff(capture, board, ports.Remotes, ports.Menus, Tables, Slots, Counters),
          Cycle(Handoff, capture, board, ports.Remotes, ports.Menus, Slots, Tables, base),
          Board(board), Base(base), Remotes(ports.Remotes), Actions(ports.Actions) {}
    LiveStation(const LiveStation&) = delete;
    LiveStation& operator=(const LiveStation&) = delete;

    LiveTables Tables;
    ChanelSlots Slots;
    LiveCounters Counters;
    AdjFoundState AdjFound;
    FrameHandoff Handoff;
    MainCycle Cycle;
    BoardPort& Board;
    const BaseState& Base;
    RemotePort& Remotes;
    // The archive writer and alarm actions of every window.
    FrameActions& Actions;
    std::shared_ptr<ObjectSearch> Search = std::make_shared<ObjectSearch>();

    // What a new camera window shares with the others.
    ChanelContext WindowContext() {
        ChanelContext c;
        c.Tables = &Tables;
        c.AdjFound = &AdjFound;
        c.Board = &Board;
        c.Remotes = &Remotes;
        c.Actions = &Actions;
        c.Lang = &Base.LangList;
        c.Search = Search;
        return c;
    }
};

} // namespace station
