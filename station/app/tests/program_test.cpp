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

#include "platform/paths.h"
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

} // namespace
} // namespace station
