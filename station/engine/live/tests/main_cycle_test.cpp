// The main cycle: ten-minute restart, register and DMA-program watchdog, alarm-monitor choice,
// the windows' repaint and remote subscriptions, the send step and the copies' release.
#include "live/main_cycle.h"
#include "manual_clock.h"

#include "base/language.h"
#include "live_fakes.h"
#include "base/local_clock.h"

#include <gtest/gtest.h>
#include <memory>

namespace live_test {
namespace {

class Cycle : public ::testing::Test {
protected:
    void SetUp() override {
        base_.LocalClock = ([] { return LocalDateTime{2026, 12, 10, 9, 5, 7, 0}; });
        for (int k = 1; k <= kChipCount; ++k) {
            h.ResetChip(k);
        }
        cycle.StartPeriods();
    }

    // Chip k present, connected and running (capturing).
    void Running(int k) {
        ChipCapture& chip = h.Chip(k);
        chip.ChipPresent = true;
        chip.DriverConnected = true;
        chip.ChipRunning = true;
        capture.status[static_cast<std::size_t>(k)] = {true, 4};
    }

    ChanelWindow& Window(int slot, int camera, int chip, int remote = 0) {
        ChanelContext ctx;
        ctx.Tables = &tables;
        return windows.Add(slot, camera, chip, remote, ctx);
    }

    BaseState base_;
    FakeCapture capture;
    FakeBoard board;
    FakeMenus menus;
    FakeRemotes remotes;
    LiveTables tables;
    ChanelSlots slots;
    LiveCounters counters;
    // The hand-off alone without links or menus: what the cycle does with them shows.
    NoRemotes no_remotes;
    NoMenus no_menus;
    FrameHandoff h{capture, board, no_remotes, no_menus, tables, slots, counters};
    MainCycle cycle{h, capture, board, remotes, menus, slots, tables, base_};
    WindowSet windows{slots, {}};
    tolm_test::ScopedManualClock clock_{5000};
};

TEST_F(Cycle, TenMinuteRestartStopsEveryChipAndStartsThemWhenAllStopped) {
    Running(1);
    Running(2);
    Diagnostics mes(counters, &board, base_.LangList);
    mes.Visible = true;
    h.SetMesForm(&mes);
    platform::clock::advance(kRestartPeriodMs);
    cycle.MainCycleTimerTimer();
    EXPECT_FALSE(cycle.RestartTimerEnabled); // exactly ten minutes: not yet
    EXPECT_TRUE(cycle.MainCycleTimerEnabled);
    platform::clock::advance(1);
    cycle.MainCycleTimerTimer();
    EXPECT_TRUE(cycle.RestartTimerEnabled);
    EXPECT_EQ(cycle.RestartTick, platform::clock::now());
    EXPECT_EQ(capture.log, (std::vector<std::string>{"stop 1", "stop 2"}));
    EXPECT_FALSE(h.Chip(1).ChipRunning.load());
    EXPECT_EQ(board.tones, (std::vector<std::uint32_t>{3000}));
    EXPECT_EQ(menus.log, (std::vector<std::string>{"res off", "res1 off", "res off", "res2 off"}));

    // The poll waits while any chip still captures.
    menus.log.clear();
    capture.status[2].CapturingNow = true;
    cycle.RestartTimerTimer();
    EXPECT_TRUE(cycle.RestartTimerEnabled);
    EXPECT_TRUE(board.calls("resetformat").empty());
    capture.status[2].CapturingNow = false;
    cycle.RestartTimerTimer();
    EXPECT_FALSE(cycle.RestartTimerEnabled);
    EXPECT_EQ(board.calls("resetformat"),
              (std::vector<std::string>{"resetformat 1", "resetformat 2"}));
    EXPECT_TRUE(h.Chip(1).StartCaptureTimerEnabled);
    EXPECT_TRUE(h.Chip(2).StartCaptureTimerEnabled);
    EXPECT_FALSE(h.Chip(3).StartCaptureTimerEnabled);
    EXPECT_EQ(menus.log, (std::vector<std::string>{"res on", "res1 on", "res2 on"}));
}

TEST_F(Cycle, APresentChipThatIsNotRunningHoldsTheRestartBack) {
    Running(1);
    Running(2);
    h.Chip(2).ChipRunning = false;
    platform::clock::advance(kRestartPeriodMs + 5);
    cycle.MainCycleTimerTimer();
    EXPECT_FALSE(cycle.RestartTimerEnabled);
    EXPECT_TRUE(capture.log.empty());
    // A wrapped tick restarts the period rather than firing at once.
    h.Chip(2).ChipRunning = true;
    cycle.RestartTick = platform::clock::now() + 100;
    cycle.MainCycleTimerTimer();
    EXPECT_EQ(cycle.RestartTick, platform::clock::now());
    EXPECT_FALSE(cycle.RestartTimerEnabled);
}

TEST_F(Cycle, WithBoardControlOffTheRestartOnlyBeepsAndReenablesTheFormatMenu) {
    board.on = false;
    Running(1);
    h.Chip(2).ChipPresent = true; // not running: not tested without board control
    Diagnostics mes(counters, &board, base_.LangList);
    mes.Visible = true;
    h.SetMesForm(&mes);
    platform::clock::advance(kRestartPeriodMs + 1);
    cycle.MainCycleTimerTimer();
    EXPECT_TRUE(cycle.RestartTimerEnabled);
    EXPECT_TRUE(capture.log.empty());
    EXPECT_EQ(board.tones, (std::vector<std::uint32_t>{3000}));
    EXPECT_EQ(board.regCompares, 0);
    cycle.RestartTimerTimer();
    EXPECT_FALSE(cycle.RestartTimerEnabled);
    EXPECT_EQ(menus.log, (std::vector<std::string>{"res on"}));
    EXPECT_TRUE(board.calls("resetformat").empty());
    EXPECT_FALSE(h.Chip(1).StartCaptureTimerEnabled);
}

TEST_F(Cycle, WatchdogListsDifferencesAndBeepsOncePerChip) {
    Running(1);
    Running(2);
    Running(3);
    capture.status[3].CapturingNow = false; // not compared
    board.regDiffs[1] = 2;
    board.regDiffs[2] = 100; // more than the library's arrays hold
    board.regDiffs[3] = 1;
    Diagnostics mes(counters, &board, base_.LangList);
    mes.Visible = true;
    h.SetMesForm(&mes);
    cycle.CheckDecoderRegs();
    EXPECT_EQ(board.tones, (std::vector<std::uint32_t>{2000, 2000}));
    ASSERT_EQ(mes.RegsMemo().size(), 2u + 16u);
    EXPECT_EQ(mes.RegsMemo()[0], "Chip 1 Reg 10 Value=00-->F0 Time 10.12.2026 9:05:07");
    EXPECT_EQ(mes.RegsMemo()[17], "Chip 2 Reg 1F Value=0F-->FF Time 10.12.2026 9:05:07");

    // With StopBtn down the memo keeps its lines, the tone still sounds.
    mes.StopBtnDown = true;
    cycle.CheckDecoderRegs();
    EXPECT_EQ(mes.RegsMemo().size(), 18u);
    EXPECT_EQ(board.tones.size(), 4u);

    // Hidden window: listed, silent. No window: nothing.
    mes.StopBtnDown = false;
    mes.Visible = false;
    cycle.CheckDecoderRegs();
    EXPECT_EQ(mes.RegsMemo().size(), 36u);
    EXPECT_EQ(board.tones.size(), 4u);
    h.SetMesForm(nullptr);
    cycle.CheckDecoderRegs();
    EXPECT_EQ(board.tones.size(), 4u);
}

TEST_F(Cycle, DmaProgramCheckRunsOnceAMinute) {
    Running(1);
    board.riscDiffs[1] = 1;
    Diagnostics mes(counters, &board, base_.LangList);
    h.SetMesForm(&mes);
    platform::clock::advance(kRiscCheckPeriodMs);
    cycle.CheckRiscProgram();
    EXPECT_EQ(board.riscCompares, 0);
    platform::clock::advance(1);
    cycle.CheckRiscProgram();
    cycle.CheckRiscProgram();
    EXPECT_EQ(board.riscCompares, 1);
    ASSERT_EQ(mes.RegsMemo().size(), 1u);
    EXPECT_EQ(mes.RegsMemo()[0],
              "Chip 1 RISC 00000010 Value=00000000-->000000F0 Time 10.12.2026 9:05:07");
}

TEST_F(Cycle, RegsMemoIsTrimmedFromTheTop) {
    Diagnostics mes(counters, &board, base_.LangList);
    for (int i = 0; i < 8005; ++i) {
        mes.AddRegsLine("line " + std::to_string(i));
    }
    EXPECT_EQ(mes.RegsMemo().size(), 8001u);
    EXPECT_EQ(mes.RegsMemo().front(), "line 4");
    EXPECT_EQ(mes.RegsMemo().back(), "line 8004");
}

TEST_F(Cycle, MonitorChoiceByPriorityLowerSlotOnTies) {
    Running(1);
    tables.MonByFind[2] = true;
    tables.CamPriority[3] = 5;
    tables.CamPriority[7] = 5;
    tables.CamPriority[9] = 8;
    ChanelWindow& a = Window(4, 3, 1);
    ChanelWindow& b = Window(2, 7, 1);
    ChanelWindow& c = Window(1, 9, 1);
    for (ChanelWindow* w : {&a, &b, &c}) {
        w->MonWait = 0;
        w->MonRequest = 1;
        w->AlarmMonNumber[1] = 1;
    }
    cycle.ChooseMonitorCameras();
    EXPECT_EQ(board.monitors, (std::vector<std::tuple<int, int>>{{2, 7}}));
    for (ChanelWindow* w : {&a, &b, &c}) {
        EXPECT_EQ(w->MonWait, 1);
        EXPECT_EQ(w->MonRequest, 0);
    }
    // A waiting window on a running chip holds the next choice back.
    b.MonRequest = 1;
    cycle.ChooseMonitorCameras();
    EXPECT_EQ(board.monitors.size(), 1u);
    EXPECT_EQ(b.MonRequest, 1);
}

TEST_F(Cycle, WindowsThatGetNoLocalFramesDoNotBlockTheMonitorChoice) {
    Running(1);
    tables.MonByFind[1] = true;
    ChanelWindow& local = Window(1, 2, 1);
    local.MonWait = 0;
    local.MonRequest = 1;
    local.AlarmMonNumber[0] = 1;
    Window(2, 5, 1, 3); // a remote camera: its wait is never cleared by a local frame
    Window(3, 6, 2);    // chip 2 is not running
    Window(4, 6, 9);    // no such chip
    cycle.ChooseMonitorCameras();
    EXPECT_EQ(board.monitors, (std::vector<std::tuple<int, int>>{{1, 2}}));
}

TEST_F(Cycle, WindowsAreRepaintedAfterTenQuietSecondsAndRemoteCamerasResubscribed) {
    Running(1);
    FakePainter painter;
    ChanelWindow& local = Window(1, 2, 1);
    local.SetPainter(&painter);
    ChanelWindow& remote = Window(2, 5, 3, 7);
    remote.NetQuality = 70;
    remote.NetJpeg = 0;
    remotes.exists = {7, 9};
    platform::clock::advance(kWindowRepaintMs);
    cycle.MainCycleTimerTimer();
    EXPECT_EQ(painter.repaints, 0);
    platform::clock::advance(1);
    cycle.MainCycleTimerTimer();
    EXPECT_EQ(painter.repaints, 1);
    EXPECT_EQ(local.LastFrameTick, platform::clock::now());
    EXPECT_EQ(remote.RemFrameSeen, 0);
    EXPECT_EQ(remotes.log, (std::vector<std::string>{"renew 7 3 5 0 70", "send 7", "send 9",
                                                     "renew 7 3 5 0 70", "send 7", "send 9"}));
    // A window of a station that does not exist renews nothing but still clears its flag.
    remote.RemNumber = 12;
    remote.RemFrameSeen = 1;
    remotes.log.clear();
    cycle.MainCycleTimerTimer();
    EXPECT_EQ(remotes.log, (std::vector<std::string>{"send 7", "send 9"}));
    EXPECT_EQ(remote.RemFrameSeen, 0);
}

TEST_F(Cycle, FrameCopiesLiveUntilTheEndOfThePass) {
    h.Chip(2).FrameCopies[4].Pending = true;
    h.Chip(2).FrameCopies[4].Pixels.assign(10, 1);
    cycle.MainCycleTimerTimer();
    EXPECT_FALSE(h.Chip(2).FrameCopies[4].Pending);
    EXPECT_TRUE(h.Chip(2).FrameCopies[4].Pixels.empty());
}

} // namespace
} // namespace live_test
