// The whole station in process on the capture layer's test capture driver and the recording
// board-control library: start-up connects the chips and binds board control, the second stage
// starts capture, and the close turns the relays off before the library goes and disconnects
// every driver.
#include "station_program.h"

#include "capture_fixture.h"
#include "board/tests/fake_board.h"
#include "base/language.h"
#include "base/program_dir.h"
#include "settings/settings_files.h"
#include "camera_windows_run.h"
#include "ui/live/chanel_form.h"

#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/ui_recorder.h"
#include "win32/modules.h"

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace station {
namespace {

namespace fs = std::filesystem;
using test::FakeBoard;

// The PC speaker's ports: each tone as its timer-2 divisor when the second divisor byte goes
// out, silence as 0 when port 0x61 gates the speaker off.
class SpeakerTones : public platform::PortHandler {
public:
    void out(std::uint16_t port, std::uint8_t value) override {
        if (port == 0x61) {
            control_ = value;
            if ((value & 3) == 0) {
                tones.push_back(0);
            }
        } else if (port == 0x42) {
            low_ = first_ ? value : low_;
            if (!first_) {
                tones.push_back(low_ | value << 8);
            }
            first_ = !first_;
        }
    }
    std::uint8_t in(std::uint16_t port) override { return port == 0x61 ? control_ : 0; }

    SpeakerTones() { platform::set_port_handler(this); }
    ~SpeakerTones() override { platform::set_port_handler(nullptr); }
    SpeakerTones(const SpeakerTones&) = delete;
    SpeakerTones& operator=(const SpeakerTones&) = delete;

    std::vector<int> tones;

private:
    std::uint8_t control_ = 0;
    int low_ = 0;
    bool first_ = true;
};

class Program : public vfw_test::CaptureTest {
protected:
    void SetUp() override {
        fs::create_directories(root_ / "program");
        fs::copy_file(fs::path(TOLM_BIN_DIR) / "tolm.lng", root_ / "program" / "tolm.lng");
        fs::copy_file(FAKE_BOARD_MODULE, platform::system_directory() / "tarvovfw.dll");
        module_ = LoadLibraryA(kBoardLibraryName);
        ASSERT_NE(module_, nullptr);
        fake_ = reinterpret_cast<test::FakeBoardStateFn>(
            GetProcAddress(module_, test::kFakeBoardStateName))();
    }
    void TearDown() override {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }

    template <class F> static bool pump_until(F done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return done();
    }

    std::shared_ptr<platform::UiRecorder> recorder_ = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink_{recorder_};
    HMODULE module_ = nullptr;
    FakeBoard* fake_ = nullptr;
};

TEST_F(Program, StartsCaptureOnTheConnectedChipsAndClosesInOrder) {
    install(0, 0); // chips 1 and 2
    install(1, 1);
    // Sensors and relays on board 1, whose chip is present.
    StationProgram program;
    SetProgramDir(program.State().Base, (root_ / "program").string());
    SettingsState settings;
    settings.HrdMap = {1, 1, 1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(SaveHrdIni(program.State().Base, settings));
    ASSERT_TRUE(program.Start());
    StationStartup& s = program.Life().Startup();
    EXPECT_EQ(s.DriverConnected, (std::array<bool, 4>{true, true, false, false}));
    EXPECT_EQ(program.Live().Cycle.RestartTick, s.StartTick);
    EXPECT_EQ(program.Live().Cycle.RiscCheckTick, s.StartTick);
    ASSERT_TRUE(s.Library.BoardControlOn());
    EXPECT_FALSE(program.Live().Handoff.Chip(1).FormatHeader.empty());
    EXPECT_EQ(s.CaptureFormat[0], program.Live().Handoff.Chip(1).FormatHeader);
    ASSERT_NE(program.Life().MesForm(), nullptr);
    ASSERT_NE(program.Life().ViewForm(), nullptr);

    // The second stage, 100 ms later: no message (chips are present), capture starts.
    ASSERT_TRUE(pump_until([&] {
        return program.Live().Handoff.Chip(1).ChipRunning.load() &&
               program.Live().Handoff.Chip(2).ChipRunning.load();
    }));
    EXPECT_TRUE(recorder_->boxes().empty());
    EXPECT_TRUE(program.Form().isVisible());
    EXPECT_TRUE(program.Live().Cycle.MainCycleTimerEnabled);
    // Each connected chip's window has the sequence set-up and captures into its four buffers.
    for (int k = 1; k <= 2; ++k) {
        SCOPED_TRACE(k);
        CAPTUREPARMS parms{};
        ASSERT_TRUE(capCaptureGetSetup(program.Windows().Window(k), &parms, sizeof parms));
        EXPECT_EQ(parms.dwRequestMicroSecPerFrame, 66667u);
        EXPECT_EQ(parms.wNumVideoRequested, 4u);
        EXPECT_NE(parms.fYield, 0);
        EXPECT_GT(program.Live().Handoff.Chip(k).Format.Width, 0);
        EXPECT_FALSE(program.Live().Handoff.Chip(k).StartPending.load());
        CaptureStatusInfo status;
        ASSERT_TRUE(program.Windows().GetStatus(k, status));
        EXPECT_TRUE(status.CapturingNow);
        EXPECT_EQ(status.VideoAllocated, 4u);
    }
    CaptureStatusInfo absent;
    EXPECT_FALSE(program.Windows().GetStatus(3, absent) && absent.CapturingNow);

    fake_->ClearCalls();
    program.Form().close();
    EXPECT_TRUE(s.Closed());
    EXPECT_FALSE(s.Library.BoardLibLoaded());
    ASSERT_FALSE(fake_->calls.empty());
    EXPECT_EQ(fake_->calls.back(), FakeBoard::Call("I2CHWWrite2", {0x42, 255, 0}));
    for (int k = 1; k <= 2; ++k) {
        const ChipCapture& chip = program.Live().Handoff.Chip(k);
        EXPECT_FALSE(chip.DriverConnected) << k;
        EXPECT_FALSE(chip.ChipRunning.load()) << k;
        EXPECT_FALSE(chip.StartCaptureTimerEnabled) << k;
        CaptureStatusInfo status;
        EXPECT_FALSE(program.Windows().GetStatus(k, status) && status.CapturingNow) << k;
    }
    EXPECT_FALSE(program.Live().Cycle.MainCycleTimerEnabled);
    // Nothing runs after the close.
    const std::size_t calls = fake_->calls.size();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 100) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_EQ(fake_->calls.size(), calls);
    EXPECT_FALSE(fs::exists(root_ / "program" / "correct.pdt"));
}

// The program's own sound timer serves a camera window's sound request on the PC speaker: two
// ticks at 2000 Hz, one at 4000 Hz, then silence, and the request is cleared.
TEST_F(Program, ASoundRequestSoundsOnTheSpeaker) {
    install(0, 0);
    SpeakerTones speaker;
    StationProgram program;
    SetProgramDir(program.State().Base, (root_ / "program").string());
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(pump_until([&] { return program.Live().Cycle.MainCycleTimerEnabled; }));
    TFormChanel* form = OpenCameraWindow(program, 1, 1);
    ASSERT_NE(form, nullptr);
    ChanelWindow& w = form->Window();
    w.UseSound = 1;
    w.UseSpeaker = 1;
    w.SoundRequest = 1;
    EXPECT_TRUE(pump_until([&] { return w.SoundRequest == 0; }));
    EXPECT_EQ(speaker.tones, (std::vector<int>{595, 595, 297, 0}));
    program.Form().close();
}

} // namespace
} // namespace station
