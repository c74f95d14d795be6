// The capture hand-off on an in-memory descriptor table: frame choice, camera stepping,
// dispatch to windows and remote copies, the sentinel ramp, bad frames and the callbacks.
#include "live/frame_handoff.h"
#include "manual_clock.h"

#include "live_fakes.h"

#include <platform/ui_recorder.h>
#include <win32/dialogs.h>

#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace live_test {
namespace {

// Counts the local frames each window handled (through its alarm actions).
struct CountingActions : FrameActions {
    std::map<int, int> frames; // slot -> frames
    void Mon_Control(ChanelWindow& w) override { ++frames[w.ChanelNumber]; }
    void Zvuk(ChanelWindow&, int) override {}
    void Save_To_Disk(ChanelWindow&, std::span<const std::uint8_t>, std::span<std::uint8_t>,
                      int) override {}
    void SetAlarmOutputActive(ChanelWindow&, int) override {}
    void SetWindowState(ChanelWindow&, int) override {}
    void SetRemAlarm(ChanelWindow&, int, int) override {}
};

class Handoff : public ::testing::Test {
protected:
    void SetUp() override {
        for (int k = 1; k <= kChipCount; ++k) {
            h.ResetChip(k);
        }
    }

    // Chip k connected and capturing into `mc` with `buffers` buffers; every ramp written.
    void Start(int k, MemoryChip& mc, std::uint32_t buffers = 4,
               std::vector<std::uint8_t> header = BitmapHeader(64, 4, 8)) {
        ChipCapture& chip = h.Chip(k);
        chip.DriverConnected = true;
        chip.ChipPresent = true;
        h.SetCaptureFormat(k, header);
        capture.mapped[static_cast<std::size_t>(k)] = mc.address();
        capture.status[static_cast<std::size_t>(k)] = {true, buffers};
        h.StartCaptureTimerTimer(k);
        h.CaptureStreamCallback(k, mc.address(), mc.table[0].BufferAddress);
        for (int i = 0; i < kFrameTableSize; ++i) {
            h.MarkFrameBuffer(k, i);
        }
        board.log.clear();
    }

    ChanelWindow& Window(int slot, int camera, int chip, int remote = 0) {
        ChanelContext ctx;
        ctx.Tables = &tables;
        ctx.Actions = &actions;
        return windows.Add(slot, camera, chip, remote, ctx);
    }

    // The chip writes a new frame into the buffer at the cursor, time moves on, one pass.
    void FeedAndPass(MemoryChip& mc, int k = 1) {
        platform::clock::advance(5);
        mc.Fill(h.Chip(k).FrameCursor, platform::clock::now());
        h.VideoProcess();
    }

    BaseState base_;
    FakeCapture capture;
    FakeBoard board;
    LiveTables tables;
    ChanelSlots slots;
    LiveCounters counters;
    FakeRemotes remotes;
    NoMenus menus;
    CountingActions actions;
    FrameHandoff h{capture, board, remotes, menus, tables, slots, counters};
    WindowSet windows{slots, {}};
    MemoryChip chip1;
    tolm_test::ScopedManualClock clock_{1000};
};

TEST_F(Handoff, WithoutConsumersTheCameraStaysButEveryChosenFrameSwitches) {
    Start(1, chip1);
    tables.CamSat[1] = 7;
    tables.CamHue[1] = 9;
    FeedAndPass(chip1);
    EXPECT_EQ(h.Chip(1).CurrentCamera, 1);
    EXPECT_EQ(board.log,
              (std::vector<std::string>{"level 1 20", "mux 1 1", "sat 1 7", "hue 1 9", "notch 1"}));
    // A pass that chooses no frame switches nothing.
    board.log.clear();
    platform::clock::advance(5);
    h.VideoProcess();
    EXPECT_TRUE(board.log.empty());
    // Board control off: level and multiplexer still, no colour calls.
    board.on = false;
    FeedAndPass(chip1);
    EXPECT_EQ(board.calls("mux").size(), 1u);
    EXPECT_TRUE(board.calls("sat").empty());
}

TEST_F(Handoff, FrameChoiceBySwitchDelayAndCaptureTime) {
    Start(1, chip1, 6);
    tables.SwitchDelay[1] = 40;
    const std::uint32_t last = h.Chip(1).LastSwitchTick;
    // Exactly the delay after the switch is too early.
    chip1.Fill(1, last + 40);
    h.VideoProcess();
    EXPECT_EQ(h.Chip(1).BufferCamera[1], 0);
    EXPECT_TRUE(board.calls("mux").empty());

    // One ms later it is a candidate; of two equal times the lower index wins.
    chip1.Fill(2, last + 41);
    chip1.Fill(3, last + 60);
    chip1.Fill(4, last + 60);
    h.VideoProcess();
    EXPECT_EQ(h.Chip(1).BufferCamera[3], 1);
    EXPECT_EQ(h.Chip(1).BufferCamera[4], 0);
    EXPECT_EQ(h.Chip(1).BufferCamera[2], 0);
    EXPECT_TRUE(h.Chip(1).BufferSkipped[4]);
    EXPECT_EQ(board.calls("mux").size(), 1u);
}

TEST_F(Handoff, SkippedFramesAreNeverChosenWhateverTheTick) {
    // Past 2^31 ms a capture time of 0 looks newer than the switch.
    platform::clock::set(0x90000000u);
    h.ResetChip(1);
    Start(1, chip1);
    const std::uint32_t t = platform::clock::now() + 1;
    chip1.Fill(1, t);
    chip1.Fill(2, t + 1);
    h.VideoProcess(); // buffer 2 chosen, buffer 1 passed over; the cursor's buffer 0 is empty
    ASSERT_EQ(h.Chip(1).BufferCamera[2], 1);
    ASSERT_TRUE(h.Chip(1).BufferSkipped[1]);
    EXPECT_EQ(chip1.d(1).CaptureTime, 0u);
    board.log.clear();
    platform::clock::advance(10);
    h.VideoProcess();
    EXPECT_EQ(h.Chip(1).BufferCamera[1], 0);
    EXPECT_TRUE(board.calls("mux").empty());
}

TEST_F(Handoff, FirstEightAssignedFramesAfterAStartReachNoWindow) {
    Window(1, 1, 1);
    Start(1, chip1);
    for (int f = 1; f <= 8; ++f) {
        FeedAndPass(chip1);
    }
    EXPECT_EQ(actions.frames[1], 0);
    FeedAndPass(chip1);
    EXPECT_EQ(actions.frames[1], 1);
    // A new start drops eight again.
    h.StartCaptureTimerTimer(1);
    h.CaptureStreamCallback(1, 0, chip1.table[0].BufferAddress);
    FeedAndPass(chip1);
    EXPECT_EQ(actions.frames[1], 1);
}

TEST_F(Handoff, ChipAlternatesBetweenLocalAndRemoteNumbersButOnlyLocalWindowsGetFrames) {
    Window(1, 2, 1);
    Window(2, 5, 1, 3); // camera 5 of remote station 3, ChNumber 1
    Start(1, chip1);
    h.Chip(1).StartSkipCount = 0;
    std::vector<int> served;
    for (int f = 0; f < 5; ++f) {
        FeedAndPass(chip1);
        served.push_back(h.Chip(1).CurrentCamera);
    }
    EXPECT_EQ(served, (std::vector<int>{2, 5, 2, 5, 2}));
    EXPECT_EQ(actions.frames[1], 2); // the frames of camera 2
    EXPECT_EQ(actions.frames[2], 0);
    EXPECT_EQ(board.calls("mux").front(), "mux 1 2 stop");
}

TEST_F(Handoff, SteppingEndsWhenNoCameraIsWanted) {
    for (int camera : {0, 17, -3}) {
        SCOPED_TRACE(camera);
        windows.Clear();
        Window(1, camera, 1);
        Start(1, chip1);
        h.Chip(1).CurrentCamera = 4;
        FeedAndPass(chip1);
        EXPECT_EQ(h.Chip(1).CurrentCamera, 4);
        EXPECT_EQ(board.calls("mux"), (std::vector<std::string>{"mux 1 4"}));
    }
}

TEST_F(Handoff, RemoteStationsShareOneCopyOfTheChipsOwnHeader) {
    // Chip 1 reports a header with a colour table, chip 2 a bare one.
    std::vector<std::uint8_t> withTable = BitmapHeader(64, 4, 8);
    withTable.resize(40 + 1024, 0x11);
    MemoryChip chip2;
    Start(1, chip1, 4, withTable);
    Start(2, chip2);
    remotes.exists = {1, 2};
    remotes.subscribed = {{1, 1, 1}, {2, 1, 1}, {2, 2, 1}};
    h.Chip(1).StartSkipCount = 0;
    h.Chip(2).StartSkipCount = 0;
    platform::clock::advance(5);
    chip1.Fill(0, platform::clock::now(), 0x42);
    chip2.Fill(0, platform::clock::now(), 0x43);
    h.VideoProcess();
    const FrameCopy& c1 = h.Chip(1).FrameCopies[1];
    const FrameCopy& c2 = h.Chip(2).FrameCopies[1];
    ASSERT_TRUE(c1.Pending);
    ASSERT_TRUE(c2.Pending);
    EXPECT_EQ(c1.Header, withTable);
    EXPECT_EQ(c2.Header.size(), 40u);
    EXPECT_EQ(c1.Pixels.size(), 256u);
    EXPECT_EQ(c1.Pixels[0], 0x42);
    EXPECT_EQ(c1.Width, 64);
    EXPECT_EQ(c1.Height, 4);

    // While the copy is pending the next frame of that camera is not copied again.
    h.Chip(1).CurrentCamera = 1;
    platform::clock::advance(5);
    chip1.Fill(1, platform::clock::now(), 0x99);
    h.VideoProcess();
    EXPECT_EQ(h.Chip(1).FrameCopies[1].Pixels[0], 0x42);
    h.FreeFrameCopies();
    EXPECT_FALSE(h.Chip(1).FrameCopies[1].Pending);
    EXPECT_TRUE(h.Chip(1).FrameCopies[1].Pixels.empty());
}

TEST_F(Handoff, UntouchedAndBadBuffers) {
    Diagnostics mes(counters, &board, base_.LangList);
    h.SetMesForm(&mes);
    Start(1, chip1);
    // Ready, but the ramp is intact: counted, marked bad, handed back at the cursor.
    chip1.ReadyUntouched(0, platform::clock::now() + 1);
    h.VideoProcess();
    EXPECT_EQ(counters.EmptyFrameCount, 1u);
    EXPECT_FALSE(chip1.Ready(0));
    EXPECT_EQ(chip1.d(0).Error, 0u);
    EXPECT_EQ(mes.ErrorLabel(), "00000001");
    EXPECT_TRUE(board.calls("mux").empty());

    // Frames the chip closed with error bits are not empty, but bad like it: the fourth bad
    // frame in a row (the third of these) lowers the level.
    for (int f = 1; f <= 4; ++f) {
        const int i = h.Chip(1).FrameCursor;
        chip1.FailWith(i, 0x3000, platform::clock::now() + 1);
        h.VideoProcess();
        EXPECT_FALSE(chip1.Ready(i));
        EXPECT_EQ(chip1.d(i).Error, 0u);
    }
    EXPECT_EQ(counters.EmptyFrameCount, 1u);
    EXPECT_EQ(mes.ErrorLabel(), "00003000");
    EXPECT_EQ(tables.AdcRange[1][1], 19);
    EXPECT_EQ(board.levelSteps, (std::vector<std::tuple<int, int, int>>{{1, 1, -1}}));
    EXPECT_EQ(board.calls("level"), (std::vector<std::string>{"level 1 19"}));
    EXPECT_EQ(h.Chip(1).BadFrameRun[1], 1);

    // Without AutoGain the level is only rewritten.
    tables.AutoGain[1][1] = false;
    for (int f = 1; f <= 4; ++f) {
        chip1.FailWith(h.Chip(1).FrameCursor, 0x3000, platform::clock::now() + 1);
        h.VideoProcess();
    }
    EXPECT_EQ(tables.AdcRange[1][1], 19);
    EXPECT_EQ(board.calls("level").back(), "level 1 19");
}

TEST_F(Handoff, HandedBackBuffersCarryTheRampAgainAndTheCursorWraps) {
    Start(1, chip1, 3);
    for (int f = 0; f < 4; ++f) {
        FeedAndPass(chip1);
    }
    EXPECT_EQ(h.Chip(1).FrameCursor, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(chip1.Ready(i));
        EXPECT_TRUE(h.FrameBufferUntouched(1, i));
        EXPECT_EQ(chip1.buffers[static_cast<std::size_t>(i)][3 * 64 + 63], 63); // top stored row
    }
}

TEST_F(Handoff, TableAddressAndBufferCount) {
    capture.mapped[1] = chip1.address();
    h.Chip(1).StartPending = true;
    // A word that is not the chip's mapped table is never taken; 0 keeps the known one.
    MemoryChip other;
    h.CaptureStreamCallback(1, other.address(), other.table[0].BufferAddress);
    EXPECT_EQ(h.Chip(1).FrameTables.load(), 0u);
    EXPECT_TRUE(h.Chip(1).ChipRunning.load());
    h.CaptureStreamCallback(1, chip1.address(), chip1.table[0].BufferAddress);
    EXPECT_EQ(h.Chip(1).FrameTables.load(), chip1.address());
    h.CaptureStreamCallback(1, 0, chip1.table[0].BufferAddress);
    EXPECT_EQ(h.Chip(1).FrameTables.load(), chip1.address());
    // After the close query the callback touches nothing.
    h.ProgramClosing = true;
    h.Chip(1).StartPending = true;
    h.CaptureStreamCallback(1, chip1.address(), chip1.table[0].BufferAddress);
    EXPECT_TRUE(h.Chip(1).StartPending.load());
    h.ProgramClosing = false;

    // More buffers reported than the table holds: the scan stays in the table.
    Start(1, chip1, 50);
    chip1.Fill(19, platform::clock::now() + 1);
    h.VideoProcess();
    EXPECT_EQ(h.Chip(1).BufferCamera[19], 1);
}

TEST_F(Handoff, CaptureStartAndNotRunningChips) {
    Start(1, chip1);
    EXPECT_EQ(capture.log,
              (std::vector<std::string>{"preview 1 off", "overlay 1 off", "sequence 1"}));
    // Start took the watchdog snapshot before the log was cleared.
    h.Chip(2).DriverConnected = false;
    h.StartCaptureTimerTimer(2);
    EXPECT_FALSE(h.Chip(2).StartPending.load());

    // A chip that is not capturing is not polled.
    capture.status[1].CapturingNow = false;
    chip1.Fill(0, platform::clock::now() + 1);
    h.VideoProcess();
    EXPECT_TRUE(chip1.Ready(0));
}

TEST_F(Handoff, DriverErrorsAreShownOnTheGuiThread) {
    auto recorder = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink(recorder);
    EXPECT_EQ(h.CaptureErrorCallback(1, 0, "none"), 1);
    int woken = 0;
    h.OnCaptureError = [&] { ++woken; };
    std::thread layer([&] { EXPECT_EQ(h.CaptureErrorCallback(3, 7, "no signal"), 0); });
    layer.join();
    EXPECT_EQ(woken, 1);
    EXPECT_TRUE(recorder->boxes().empty());
    h.ShowCaptureErrors();
    ASSERT_EQ(recorder->boxes().size(), 1u);
    EXPECT_EQ(recorder->boxes()[0].text, "no signal");
    EXPECT_EQ(recorder->boxes()[0].caption, "Error");
    EXPECT_EQ(recorder->boxes()[0].type, MB_ICONWARNING);
    EXPECT_EQ(recorder->boxes()[0].owner, capture.ErrorOwner(3)); // chip 3's capture window
    h.ShowCaptureErrors();
    EXPECT_EQ(recorder->boxes().size(), 1u);
}

TEST_F(Handoff, DiagnosticsSeeBufferStatesAndFramePeriods) {
    Diagnostics mes(counters, &board, base_.LangList);
    h.SetMesForm(&mes);
    Start(1, chip1);
    h.Chip(1).StartSkipCount = 0;
    chip1.Fill(2, platform::clock::now() + 1);
    chip1.ReadyUntouched(3, platform::clock::now() + 1);
    h.VideoProcess();
    EXPECT_EQ(mes.BufStates[1][0], kBufWithChip);
    EXPECT_EQ(mes.BufStates[1][2], kBufReady);
    EXPECT_EQ(mes.BufStates[1][3], kBufBad);
    EXPECT_EQ(mes.BufStates[1][4], kBufNotInUse);
    FeedAndPass(chip1);
    platform::clock::advance(35);
    FeedAndPass(chip1);
    EXPECT_FALSE(mes.PeriodOf(1, 1).First);
}

} // namespace
} // namespace live_test
