// The station's 1 ms main cycle on the GUI thread: the register and DMA-program watchdog, the
// capture restart every ten minutes, the frame poll, the alarm-monitor choice, relays and
// sensor inputs, the camera windows' repaint and remote subscriptions, the remote stations'
// send step, and the release of the frame copies sent in that pass.
#pragma once

#include "base/base_state.h"
#include "chanel_slots.h"
#include "frame_handoff.h"
#include "live_ports.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace station {

inline constexpr std::uint32_t kRestartPeriodMs = 600000;
inline constexpr std::uint32_t kRiscCheckPeriodMs = 60000;
inline constexpr std::uint32_t kWindowRepaintMs = 10000;
inline constexpr int kCompareRegsSize = 16;
inline constexpr int kCompareRiscSize = 4096;

class MainCycle {
public:
    // `base`: the station's clock (the time of a register-change line).
    MainCycle(FrameHandoff& handoff, CapturePort& capture, BoardPort& board, RemotePort& remotes,
              MenuPort& menus, ChanelSlots& slots, LiveTables& tables, const BaseState& base);

    std::uint32_t RestartTick = 0;
    std::uint32_t RiscCheckTick = 0;
    bool MainCycleTimerEnabled = false; // 1 ms
    bool RestartTimerEnabled = false;   // 100 ms
    // Called whenever one of the two timers was enabled or disabled.
    std::function<void()> OnTimersChanged;

    // Start-up: both periods start now.
    void StartPeriods();
    // One pass of the main cycle.
    void MainCycleTimerTimer();
    // The restart's 100 ms poll until every stopped chip has stopped capturing.
    void RestartTimerTimer();
    void ChooseMonitorCameras();
    void CheckDecoderRegs();
    void CheckRiscProgram();

private:
    void set_main_timer(bool on);
    void set_restart_timer(bool on);
    bool restart_chip(int k) const;
    void ten_minute_restart();
    void windows_step();
    void compare(bool risc);

    FrameHandoff& handoff_;
    CapturePort& capture_;
    BoardPort& board_;
    ChanelSlots& slots_;
    LiveTables& tables_;
    RemotePort& remotes_;
    MenuPort& menus_;
    const BaseState& base_;
    std::array<std::int32_t, kCompareRiscSize> addresses_{};
    std::array<std::int32_t, kCompareRiscSize> old_{};
    std::array<std::int32_t, kCompareRiscSize> new_{};
};

// The watchdog's change lines: "Chip k Reg AA Value=OO-->NN Time ..." and
// "Chip k RISC AAAAAAAA Value=OOOOOOOO-->NNNNNNNN Time ...", with the date and time in the
// system's short format.
std::string RegChangeLine(int k, std::int32_t address, std::int32_t old, std::int32_t now,
                          const std::string& time);
std::string RiscChangeLine(int k, std::int32_t address, std::int32_t old, std::int32_t now,
                           const std::string& time);
// The current local date and time as "dd.mm.yyyy h:mm:ss".
std::string ShortDateTimeNow(const BaseState& base);

} // namespace station
