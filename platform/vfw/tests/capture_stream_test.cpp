// Streaming capture without a file through a capture window, against the test capture driver.
#include "capture_fixture.h"
#include "stream_log.h"

#include "vfw.h"
#include "win32/modules.h"

#include <algorithm>
#include <numeric>

namespace vfw_test {
namespace {

using vfw_probe::Device;

// A capture window with recording callbacks, connected to `slot`, set up as the station sets
// it up (66667 us per frame, 4 buffers, yield on, no audio, time limit off).
HWND connected_window(unsigned slot, UINT buffers = 4) {
    HWND w = capCreateCaptureWindowA("", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, nullptr, 0);
    capSetCallbackOnVideoStream(w, record_video);
    capSetCallbackOnYield(w, record_yield);
    capSetCallbackOnError(w, record_error);
    EXPECT_TRUE(capDriverConnect(w, slot));
    CAPTUREPARMS p{};
    EXPECT_TRUE(capCaptureGetSetup(w, &p, sizeof(p)));
    p.dwRequestMicroSecPerFrame = 66667;
    p.wPercentDropForError = 100;
    p.fYield = -1;
    p.wNumVideoRequested = buffers;
    p.fCaptureAudio = FALSE;
    p.vKeyAbort = 0;
    p.fAbortLeftMouse = p.fAbortRightMouse = FALSE;
    p.fLimitEnabled = FALSE;
    EXPECT_TRUE(capCaptureSetSetup(w, &p, sizeof(p)));
    return w;
}

std::vector<UINT> messages_of(int digit) {
    std::lock_guard l(vfw_probe::lock());
    std::vector<UINT> out;
    for (const auto& m : vfw_probe::device(digit).messages) {
        out.push_back(m.msg);
    }
    return out;
}

bool consecutive_from_zero(const std::vector<DWORD>& counters) {
    for (std::size_t i = 0; i < counters.size(); ++i) {
        if (counters[i] != i) {
            return false;
        }
    }
    return true;
}

// How the driver completes buffers: on its worker thread; right inside the add-buffer message
// (as a driver whose kernel device completes every request at once does); on its worker thread,
// reporting after each buffer a header that belongs to no capture.
enum class Completion { Worker, Inline, Stray };

class StreamTest : public CaptureTest, public ::testing::WithParamInterface<Completion> {
protected:
    StreamTest() { clear_logs(); }
};

TEST_P(StreamTest, CallbackSeesEveryBufferInOrderOnTheCaptureThread) {
    const auto file = install(0, 0);
    {
        std::lock_guard l(vfw_probe::lock());
        vfw_probe::device(0).complete_inline = GetParam() == Completion::Inline;
        vfw_probe::device(0).report_stray = GetParam() == Completion::Stray;
    }
    HWND w = connected_window(0);
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    EXPECT_TRUE(status_of(w).fCapturingNow) << "capturing as soon as the message returns";
    ASSERT_TRUE(wait_until([&] { return frames_seen(w) >= 40; }));

    const CAPSTATUS running = status_of(w);
    EXPECT_TRUE(running.fCapturingNow);
    EXPECT_EQ(running.wNumVideoAllocated, 4u);
    EXPECT_GE(running.dwCurrentVideoFrame, 40u);

    ASSERT_TRUE(capCaptureStop(w));
    ASSERT_TRUE(wait_stopped(w));
    EXPECT_EQ(status_of(w).wNumVideoAllocated, 0u);
    {
        std::lock_guard l(log_lock());
        const StreamLog& log = stream_log(w);
        EXPECT_TRUE(consecutive_from_zero(log.counters)) << "no buffer lost or reordered";
        EXPECT_TRUE(
            std::all_of(log.digits.begin(), log.digits.end(), [](DWORD d) { return d == 0; }));
        ASSERT_EQ(log.video_threads.size(), 1u);
        EXPECT_NE(*log.video_threads.begin(), std::this_thread::get_id());
        EXPECT_EQ(log.yield_threads, log.video_threads) << "yield on the capture thread only";
        EXPECT_EQ(log.yields, static_cast<int>(log.counters.size()));
        EXPECT_EQ(std::set<LPBYTE>(log.buffers.begin(), log.buffers.end()).size(), 4u);
        for (LPBYTE b : log.buffers) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 4096, 0u);
        }
    }
    std::set<std::thread::id> add_threads;
    {
        std::lock_guard l(vfw_probe::lock());
        const Device& d = vfw_probe::device(0);
        EXPECT_EQ(d.stream_rate, 66667u);
        EXPECT_EQ(d.adds_inside_callback, 0) << "a buffer was re-added from the driver's callback";
        add_threads.insert(d.add_threads.begin(), d.add_threads.end());
    }
    EXPECT_EQ(add_threads.size(), 1u) << "every add comes from the capture thread";
    {
        std::lock_guard l(log_lock());
        EXPECT_EQ(add_threads, stream_log(w).video_threads);
    }

    // The stream's messages: init, four prepares and adds, start, the re-adds, then stop,
    // reset, four unprepares and the end of the stream.
    auto msgs = messages_of(0);
    auto init = std::find(msgs.begin(), msgs.end(), DVM_STREAM_INIT);
    ASSERT_NE(init, msgs.end());
    const std::vector<UINT> head = {DVM_STREAM_INIT,          DVM_STREAM_PREPAREHEADER,
                                    DVM_STREAM_PREPAREHEADER, DVM_STREAM_PREPAREHEADER,
                                    DVM_STREAM_PREPAREHEADER, DVM_STREAM_ADDBUFFER,
                                    DVM_STREAM_ADDBUFFER,     DVM_STREAM_ADDBUFFER,
                                    DVM_STREAM_ADDBUFFER,     DVM_STREAM_START};
    ASSERT_GE(static_cast<std::size_t>(msgs.end() - init), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), init));
    const std::vector<UINT> tail = {DVM_STREAM_STOP,
                                    DVM_STREAM_RESET,
                                    DVM_STREAM_UNPREPAREHEADER,
                                    DVM_STREAM_UNPREPAREHEADER,
                                    DVM_STREAM_UNPREPAREHEADER,
                                    DVM_STREAM_UNPREPAREHEADER,
                                    DVM_STREAM_FINI};
    ASSERT_GE(msgs.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), msgs.end() - tail.size()));

    // Disconnecting closes the three channels and unloads the driver.
    ASSERT_TRUE(capDriverDisconnect(w));
    msgs = messages_of(0);
    const std::vector<UINT> close = {DRV_CLOSE, DRV_CLOSE, DRV_CLOSE, DRV_DISABLE, DRV_FREE};
    ASSERT_GE(msgs.size(), close.size());
    EXPECT_TRUE(std::equal(close.begin(), close.end(), msgs.end() - close.size()));
    EXPECT_EQ(GetModuleHandleA(file.string().c_str()), nullptr);
    EXPECT_FALSE(status_of(w).fCapturingNow);
    DestroyWindow(w);
}

std::string completion_name(const ::testing::TestParamInfo<Completion>& info) {
    switch (info.param) {
    case Completion::Worker:
        return "Worker";
    case Completion::Inline:
        return "Inline";
    default:
        return "Stray";
    }
}

INSTANTIATE_TEST_SUITE_P(Completion, StreamTest,
                         ::testing::Values(Completion::Worker, Completion::Inline,
                                           Completion::Stray),
                         completion_name);

TEST_F(CaptureTest, TwoWindowsOnTwoDriversStreamAtOnce) {
    clear_logs();
    const auto file0 = install(0, 0);
    const auto file1 = install(1, 1);
    HWND a = connected_window(0);
    HWND b = connected_window(1, 6);
    ASSERT_TRUE(capCaptureSequenceNoFile(a));
    ASSERT_TRUE(capCaptureSequenceNoFile(b));
    ASSERT_TRUE(wait_until([&] { return frames_seen(a) >= 30 && frames_seen(b) >= 30; }));
    EXPECT_EQ(status_of(b).wNumVideoAllocated, 6u);
    capCaptureStop(a);
    capCaptureStop(b);
    ASSERT_TRUE(wait_stopped(a));
    ASSERT_TRUE(wait_stopped(b));
    {
        std::lock_guard l(log_lock());
        for (auto [w, digit] : {std::pair{a, 0u}, std::pair{b, 1u}}) {
            const StreamLog& log = stream_log(w);
            EXPECT_TRUE(consecutive_from_zero(log.counters));
            EXPECT_TRUE(std::all_of(log.digits.begin(), log.digits.end(),
                                    [&](DWORD d) { return d == digit; }))
                << "window of driver " << digit << " saw another driver's buffers";
        }
        EXPECT_NE(stream_log(a).video_threads, stream_log(b).video_threads);
    }
    EXPECT_NE(GetModuleHandleA(file0.string().c_str()), GetModuleHandleA(file1.string().c_str()));
    DestroyWindow(a);
    DestroyWindow(b);
    EXPECT_EQ(GetModuleHandleA(file0.string().c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleA(file1.string().c_str()), nullptr);
}

// Shut-down order of the station: stop, then disconnect at once.
TEST_F(CaptureTest, DisconnectRightAfterStopEndsTheStreamFirst) {
    clear_logs();
    const auto file = install(0, 0);
    HWND w = connected_window(0);
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    ASSERT_TRUE(wait_until([&] { return frames_seen(w) >= 5; }));
    capCaptureStop(w);
    ASSERT_TRUE(capDriverDisconnect(w));
    auto msgs = messages_of(0);
    auto fini = std::find(msgs.begin(), msgs.end(), DVM_STREAM_FINI);
    auto close = std::find(msgs.begin(), msgs.end(), DRV_CLOSE);
    ASSERT_NE(fini, msgs.end());
    EXPECT_LT(fini, close);
    EXPECT_FALSE(status_of(w).fCapturingNow);
    EXPECT_EQ(GetModuleHandleA(file.string().c_str()), nullptr);
    // Capture can start again after a new connection.
    ASSERT_TRUE(capDriverConnect(w, 0));
    EXPECT_TRUE(capCaptureSequenceNoFile(w));
    DestroyWindow(w);
}

TEST_F(CaptureTest, DriverErrorsReachTheErrorCallback) {
    clear_logs();
    install(0, 0);
    {
        std::lock_guard l(vfw_probe::lock());
        vfw_probe::device(0).stream_init_result = DV_ERR_NOMEM;
    }
    HWND w = connected_window(0);
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    ASSERT_TRUE(wait_stopped(w));
    {
        std::lock_guard l(log_lock());
        const auto& errors = stream_log(w).errors;
        ASSERT_GE(errors.size(), 2u);
        EXPECT_EQ(errors[errors.size() - 2], std::make_pair(0, std::string("<null>")))
            << "each capture starts by clearing the error";
        EXPECT_EQ(errors.back().first, IDS_CAP_VIDEO_OPEN_ERROR);
        EXPECT_NE(errors.back().second.find("driver error 18"), std::string::npos);
        EXPECT_NE(errors.back().second.find("test driver error 18"), std::string::npos)
            << "the driver's own text: " << errors.back().second;
        EXPECT_TRUE(stream_log(w).counters.empty());
    }
    EXPECT_EQ(status_of(w).dwReturn, static_cast<DWORD>(IDS_CAP_VIDEO_OPEN_ERROR));
    {
        std::lock_guard l(vfw_probe::lock());
        EXPECT_TRUE(vfw_probe::device(0).buffers_added.empty());
        vfw_probe::device(0).stream_init_result = DV_ERR_OK;
    }
    // The window is usable again once the driver streams.
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    EXPECT_TRUE(wait_until([&] { return frames_seen(w) >= 3; }));
    DestroyWindow(w);
}

TEST_F(CaptureTest, YieldAnsweringFalseEndsTheCapture) {
    clear_logs();
    install(0, 0);
    HWND w = connected_window(0);
    {
        std::lock_guard l(log_lock());
        stream_log(w).yield_answer = FALSE;
    }
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    ASSERT_TRUE(wait_stopped(w));
    std::lock_guard l(log_lock());
    EXPECT_EQ(stream_log(w).counters.size(), 1u);
    EXPECT_EQ(stream_log(w).yields, 1);
    DestroyWindow(w);
}

TEST_F(CaptureTest, CaptureMessagesNeedAConnectedIdleWindow) {
    clear_logs();
    install(0, 0);
    HWND w = capCreateCaptureWindowA("", 0, 0, 0, 0, 0, nullptr, 0);
    EXPECT_FALSE(capCaptureSequenceNoFile(w)) << "no driver";
    EXPECT_FALSE(capCaptureStop(w));
    ASSERT_TRUE(capDriverConnect(w, 0));
    capSetCallbackOnVideoStream(w, record_video);
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    EXPECT_FALSE(capCaptureSequenceNoFile(w)) << "already capturing";
    BITMAPINFOHEADER h{};
    capGetVideoFormat(w, &h, sizeof(h));
    h.biBitCount = 32;
    EXPECT_FALSE(capSetVideoFormat(w, &h, sizeof(h))) << "no format change while capturing";
    capCaptureStop(w);
    ASSERT_TRUE(wait_stopped(w));
    EXPECT_TRUE(capSetVideoFormat(w, &h, sizeof(h)));
    DestroyWindow(w);
}

} // namespace
} // namespace vfw_test

namespace vfw_test {
namespace {

struct FromCallback {
    LRESULT disconnect = -1;
    LRESULT status = -1;
    BOOL capturing = FALSE;
    LRESULT stop = -1;
    int calls = 0;
};
FromCallback from_callback;

// Sent on the capture thread: messages that would wait for that thread are refused, the others
// answer, and a stop ends the capture after this buffer.
LRESULT CALLBACK send_from_callback(HWND hwnd, LPVIDEOHDR) {
    std::lock_guard l(log_lock());
    if (from_callback.calls++ == 0) {
        from_callback.disconnect = SendMessageA(hwnd, WM_CAP_DRIVER_DISCONNECT, 0, 0);
        CAPSTATUS s{};
        from_callback.status =
            SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof(s), reinterpret_cast<LPARAM>(&s));
        from_callback.capturing = s.fCapturingNow;
        from_callback.stop = SendMessageA(hwnd, WM_CAP_STOP, 0, 0);
    }
    return 0;
}

TEST_F(CaptureTest, MessagesFromInsideTheCallbackDoNotWaitForTheCaptureThread) {
    install(0, 0);
    from_callback = FromCallback{};
    HWND w = connected_window(0);
    capSetCallbackOnVideoStream(w, send_from_callback);
    ASSERT_TRUE(capCaptureSequenceNoFile(w));
    ASSERT_TRUE(wait_stopped(w));
    {
        std::lock_guard l(log_lock());
        EXPECT_EQ(from_callback.disconnect, FALSE);
        EXPECT_EQ(from_callback.status, TRUE);
        EXPECT_TRUE(from_callback.capturing);
        EXPECT_EQ(from_callback.stop, TRUE);
        EXPECT_EQ(from_callback.calls, 1);
    }
    EXPECT_TRUE(capDriverDisconnect(w)) << "still connected";
    DestroyWindow(w);
}

} // namespace
} // namespace vfw_test
