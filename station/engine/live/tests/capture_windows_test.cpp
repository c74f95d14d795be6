// The capture windows against the capture layer and its test capture driver: connection, the
// sequence set-up, the format, the capture start through the hand-off and the stream callback
// that marks the chip running, and the close.
#include "live/live_startup.h"

#include "capture_fixture.h"
#include "live_fakes.h"

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace station;

bool wait_for(const std::function<bool()>& done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

class CaptureWindowsTest : public vfw_test::CaptureTest {};

TEST_F(CaptureWindowsTest, ConnectStartStreamAndClose) {
    install(1, 1); // driver index 1 only: chip 2
    live_test::FakeBoard board;
    CaptureWindows windows;
    live_test::NoLivePorts ports;
    BaseState base;
    LiveStation live(windows, board, base, ports.Ports());
    ConnectCaptureChips(live, windows, nullptr);
    EXPECT_FALSE(live.Handoff.Chip(1).DriverConnected);
    ASSERT_TRUE(live.Handoff.Chip(2).DriverConnected);
    EXPECT_FALSE(live.Handoff.Chip(3).DriverConnected);
    EXPECT_TRUE(TakePresentChips(live));
    EXPECT_FALSE(live.Handoff.Chip(1).ChipPresent);
    EXPECT_TRUE(live.Handoff.Chip(2).ChipPresent);

    // The format the driver reports is the chip's.
    EXPECT_FALSE(live.Handoff.Chip(2).FormatHeader.empty());
    EXPECT_GT(live.Handoff.Chip(2).Format.Width, 0);
    CAPTUREPARMS parms{};
    ASSERT_TRUE(capCaptureGetSetup(windows.Window(2), &parms, sizeof parms));
    EXPECT_EQ(parms.dwRequestMicroSecPerFrame, 66667u);
    EXPECT_EQ(parms.wNumVideoRequested, 4u);
    EXPECT_NE(parms.fYield, 0);

    // The capture start: the first buffer's callback marks the chip running.
    StartPresentChips(live);
    EXPECT_TRUE(live.Handoff.Chip(2).StartCaptureTimerEnabled);
    live.Handoff.StartCaptureTimerTimer(2);
    EXPECT_EQ(board.calls("snapshot").size(), 1u);
    ASSERT_TRUE(wait_for([&] { return live.Handoff.Chip(2).ChipRunning.load(); }));
    EXPECT_FALSE(live.Handoff.Chip(2).StartPending.load());
    CaptureStatusInfo status;
    ASSERT_TRUE(windows.GetStatus(2, status));
    EXPECT_TRUE(status.CapturingNow);
    EXPECT_EQ(status.VideoAllocated, 4u);
    EXPECT_FALSE(windows.GetStatus(1, status) && status.CapturingNow);

    // The close stops and disconnects.
    DisconnectCaptureChips(live, windows);
    EXPECT_FALSE(live.Handoff.Chip(2).DriverConnected);
    EXPECT_FALSE(live.Handoff.Chip(2).ChipRunning.load());
    status = CaptureStatusInfo{};
    EXPECT_FALSE(windows.GetStatus(2, status) && status.CapturingNow);
}

} // namespace
