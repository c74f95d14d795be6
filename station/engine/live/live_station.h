// The live-video engine of one station, put together: the camera tables, the window slots,
// the counters, the settings dialog's target, the frame hand-off and the main cycle. Start-up
// creates one with the capture windows and board control; the main form's timers and the
// camera windows drive it.
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
    LiveStation(CapturePort& capture, BoardPort& board)
        : Handoff(capture, board, Tables, Slots, Counters),
          Cycle(Handoff, capture, board, Slots, Tables), Board(board) {}
    LiveStation(const LiveStation&) = delete;
    LiveStation& operator=(const LiveStation&) = delete;

    LiveTables Tables;
    ChanelSlots Slots;
    LiveCounters Counters;
    AdjFoundState AdjFound;
    FrameHandoff Handoff;
    MainCycle Cycle;
    BoardPort& Board;
    RemotePort* Remotes = nullptr;
    // The archive writer and alarm actions of every window, once they exist.
    FrameActions* Actions = nullptr;
    std::shared_ptr<ObjectSearch> Search = std::make_shared<ObjectSearch>();

    void SetRemotes(RemotePort* remotes) {
        Remotes = remotes;
        Handoff.SetRemotes(remotes);
        Cycle.SetRemotes(remotes);
    }
    void SetMenus(MenuPort* menus) {
        Handoff.SetMenus(menus);
        Cycle.SetMenus(menus);
    }
    // What a new camera window shares with the others (set the remote links and the actions
    // before the first window is made: a window keeps what it was given).
    ChanelContext WindowContext() {
        ChanelContext c;
        c.Tables = &Tables;
        c.AdjFound = &AdjFound;
        c.Board = &Board;
        c.Remotes = Remotes;
        c.Actions = Actions;
        c.Search = Search;
        return c;
    }
};

} // namespace station
