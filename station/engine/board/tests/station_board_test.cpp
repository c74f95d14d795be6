// The live engine over the station's board side: main-cycle passes on an in-memory descriptor
// table, with board control bound to the recording fake library, and the PC speaker's ports
// recorded into the same call list, so the order of everything that reaches the board shows.
#include "board/station_board.h"
#include "manual_clock.h"

#include "fake_board.h"
#include "live/tests/live_fakes.h"
#include "live/live_station.h"
#include "settings/settings_files.h"

#include <platform/clock.h>
#include <platform/ports.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace station {
namespace {

using Calls = std::vector<std::string>;

std::string C(std::string_view name, std::initializer_list<long long> args) {
    return test::FakeBoard::Call(name, args);
}

// The speaker's ports: a tone is entered as "Speaker(divisor)" when its second divisor byte
// goes out, silence as "SpeakerOff".
class SpeakerPorts : public platform::PortHandler {
public:
    explicit SpeakerPorts(test::FakeBoard& board) : board_(board) {}
    void out(std::uint16_t port, std::uint8_t value) override {
        if (port == 0x61) {
            control_ = value;
            if ((value & 3) == 0) {
                board_.calls.push_back("SpeakerOff");
            }
        } else if (port == 0x42) {
            divisor_.push_back(value);
            if (divisor_.size() == 2) {
                board_.calls.push_back(C("Speaker", {divisor_[0] | divisor_[1] << 8}));
                divisor_.clear();
            }
        }
    }
    std::uint8_t in(std::uint16_t port) override { return port == 0x61 ? control_ : 0; }

private:
    test::FakeBoard& board_;
    std::uint8_t control_ = 0;
    std::vector<int> divisor_;
};

// Stands in for the windows' alarm actions: a window whose sensor input is in alarm requests
// its monitor, its sound and its relay output.
struct InputAlarmActions : FrameActions {
    int frames = 0;
    void Mon_Control(ChanelWindow& w) override {
        ++frames;
        if (w.InputAlarm()) {
            w.MonRequest = 1;
        }
        w.MonWait = 0;
    }
    void Zvuk(ChanelWindow& w, int) override {
        if (w.InputAlarm()) {
            w.SoundRequest = 1;
        }
    }
    void Save_To_Disk(ChanelWindow&, std::span<const std::uint8_t>, std::span<std::uint8_t>,
                      int) override {}
    void SetAlarmOutputActive(ChanelWindow& w, int) override {
        w.OutputActive = w.InputAlarm() ? 1 : 0;
    }
    void SetWindowState(ChanelWindow&, int) override {}
    void SetRemAlarm(ChanelWindow&, int, int) override {}
};

struct SoundTimer : TimerSwitch {
    void SetEnabled(bool) override {}
};
struct NoPlayer : MediaPlayer {
    bool Open(const std::filesystem::path&) override { return false; }
    bool CanPlay() const override { return false; }
    void Play(bool) override {}
};

class StationBoardTest : public ::testing::Test {
protected:
    static constexpr int kChip = 2; // library chip index 1; its I2C devices sit on board 1

    void SetUp() override {
        platform::set_port_handler(&ports_);
        map_ = kHrdMapDefaults; // multiplexer and DAC on board 1, sensors and relays on board 4
        board_.Attach(live_);
        for (int k = 1; k <= kChipCount; ++k) {
            live_.Handoff.ResetChip(k);
            live_.Handoff.Chip(k).DriverConnected = true;
        }
    }
    void TearDown() override { platform::set_port_handler(nullptr); }

    // Binding and the second stage's chip set-up as at start-up; then chip kChip capturing
    // into the memory chip.
    void StartUp() {
        board_.BindBoardLibrary(test::FakeBoardResolver(fake_), live_);
        board_.TakePresentChips(live_);
        board_.Control.Settings.Delay = 0;
        live_.Cycle.StartPeriods();
        fake_.ClearCalls();

        ChipCapture& chip = live_.Handoff.Chip(kChip);
        live_.Handoff.SetCaptureFormat(kChip, live_test::BitmapHeader(64, 4, 8));
        capture_.mapped[kChip] = memory_.address();
        capture_.status[kChip] = {true, 4};
        live_.Handoff.StartCaptureTimerTimer(kChip);
        live_.Handoff.CaptureStreamCallback(kChip, memory_.address(),
                                            memory_.table[0].BufferAddress);
        for (int i = 0; i < kFrameTableSize; ++i) {
            live_.Handoff.MarkFrameBuffer(kChip, i);
        }
        ASSERT_TRUE(chip.ChipRunning.load());
    }

    ChanelWindow& Window(int slot, int camera) {
        return windows_.Add(slot, camera, kChip, 0, live_.WindowContext());
    }

    // The chip fills the buffer at its cursor with `value`, 5 ms later one main-cycle pass;
    // answers the board calls of that pass.
    Calls Pass(std::uint8_t value = 0x80) {
        fake_.ClearCalls();
        platform::clock::advance(5);
        memory_.Fill(live_.Handoff.Chip(kChip).FrameCursor, platform::clock::now(), value);
        live_.Cycle.MainCycleTimerTimer();
        return fake_.calls;
    }
    Calls SoundTick() {
        fake_.ClearCalls();
        board_.Sound.SoundTimerTimer(timer_, board_.Windows, player_);
        return fake_.calls;
    }
    static Calls Only(const Calls& calls, std::string_view name) {
        Calls out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                     [name](const std::string& c) { return c.rfind(name, 0) == 0; });
        return out;
    }

    test::FakeBoard fake_;
    SpeakerPorts ports_{fake_};
    HrdMapTable map_ = kHrdMapProvisional;
    BaseState base_;
    StationBoard board_{base_, map_};
    live_test::FakeCapture capture_;
    InputAlarmActions actions_;
    NoRemotes remotes_;
    NoMenus menus_;
    LiveStation live_{capture_, board_.Port, base_, {remotes_, menus_, actions_}};
    live_test::WindowSet windows_{live_.Slots, {}};
    live_test::MemoryChip memory_;
    SoundTimer timer_;
    NoPlayer player_;
    tolm_test::ScopedManualClock clock_{50000};
};

TEST_F(StationBoardTest, SensorAlarmReachesMonitorRelayAndSpeakerInOrder) {
    StartUp();
    EXPECT_EQ(fake_.calls, (Calls{C("TarvoReadAllRegs", {1}), C("TarvoReadRisc", {1})}));
    fake_.decoder[1][0xD4] = 0x44;
    fake_.ClearCalls();
    board_.ReadColourFormat(kChip);
    EXPECT_EQ(fake_.calls, Calls{C("ReadDecoder", {0xD4, 1})});
    EXPECT_EQ(board_.ColourFormat[kChip - 1], 0x44);

    live_.Tables.CamSat[5] = 11;
    live_.Tables.CamHue[5] = -3;
    live_.Tables.NotchOff[kChip] = true;
    live_.Tables.MonByFind[1] = true;
    fake_.decoder[1][0x2C] = 0x15;
    fake_.decoder[1][0xAC] = 0x81;
    fake_.read_values[0x45] = 0xFF; // sensor inputs 1..8 idle (high)
    ChanelWindow& w = Window(3, 5);
    w.UseInput = 1;
    w.AlarmInputNumber = 3;
    w.AlarmInputState = 0; // alarm while input 3 is low
    w.AlarmMonNumber[0] = 1;
    w.UseOutput = 1;
    w.OutputPin = 2;
    w.OutputState = 0; // relay 2 low during the alarm
    w.UseSound = 1;
    w.UseSpeaker = 1;

    // The first chosen frame moves chip 2 from camera 1 to the window's camera 5.
    const Calls notch = {C("ReadDecoder", {0x2C, 1}), C("ReadDecoder", {0xAC, 1}),
                         C("WriteDecoder", {0x2C, 0x95, 1}), C("WriteDecoder", {0xAC, 0x81, 1})};
    Calls first = {C("TarvoCompareRegs", {1}),       C("I2CHWWrite3", {0x48, 0xF1, 20, 0}),
                   C("TarvoRiscStop", {0, 0, 1}),    C("I2CHWWrite2", {0x4C, 16 + 4, 0}),
                   C("I2CHWRead", {0x4D, 0}),        C("TarvoRiscStart", {1}),
                   C("TarvoSetSaturation", {11, 1}), C("TarvoSetHue", {-3, 1})};
    first.insert(first.end(), notch.begin(), notch.end());
    const Calls sensors = {C("I2CHWRead", {0x45, 3}), C("I2CHWRead", {0x47, 3})};
    first.insert(first.end(), sensors.begin(), sensors.end());
    EXPECT_EQ(Pass(), first);

    // After the 8 frames dropped at the capture start the window gets frames, no alarm yet.
    Calls steady = {C("TarvoCompareRegs", {1}), C("TarvoSetSaturation", {11, 1}),
                    C("TarvoSetHue", {-3, 1})};
    steady.insert(steady.end(), notch.begin(), notch.end());
    steady.insert(steady.end(), sensors.begin(), sensors.end());
    for (int pass = 2; pass <= 9; ++pass) {
        SCOPED_TRACE(pass);
        EXPECT_EQ(Pass(), steady);
    }
    EXPECT_EQ(actions_.frames, 1);
    EXPECT_EQ(w.SoundRequest, 0);
    EXPECT_EQ(board_.Control.SensorWord, -1); // 0x47 reads back 0xFF too

    // Input 3 goes low; the pass that reads it delivers a frame judged on the old word, the
    // next one raises the alarm: monitor 1 to camera 5, then relay 2 low, then the sensors.
    fake_.read_values[0x45] = 0xFB;
    EXPECT_EQ(Pass(), steady);
    EXPECT_EQ(w.SoundRequest, 0);
    Calls alarm = {C("TarvoCompareRegs", {1}), C("TarvoSetSaturation", {11, 1}),
                   C("TarvoSetHue", {-3, 1})};
    alarm.insert(alarm.end(), notch.begin(), notch.end());
    alarm.insert(alarm.end(), {C("I2CHWWrite2", {0x4C, 0x40 + 4, 0}), C("I2CHWRead", {0x4D, 0}),
                               C("I2CHWWrite2", {0x42, 0xFD, 3})});
    alarm.insert(alarm.end(), sensors.begin(), sensors.end());
    EXPECT_EQ(Pass(), alarm);
    EXPECT_EQ(w.SoundRequest, 1);

    // The sound timer finds the request in slot 3: 2000 Hz for two ticks, 4000 Hz for one,
    // silence, and the window's request is cleared.
    EXPECT_EQ(SoundTick(), Calls{C("Speaker", {595})});
    EXPECT_EQ(SoundTick(), Calls{C("Speaker", {595})});
    EXPECT_EQ(SoundTick(), Calls{C("Speaker", {297})});
    EXPECT_EQ(SoundTick(), Calls{"SpeakerOff"});
    EXPECT_EQ(w.SoundRequest, 0);
}

TEST_F(StationBoardTest, LevelControlRaisesOnSaturationAndLowersOnBadFrames) {
    StartUp();
    Window(1, 1); // camera 1 of chip 2: the camera never changes
    Calls levels;
    const auto pass = [&](std::uint8_t value) {
        const Calls c = Only(Pass(value), "I2CHWWrite3");
        levels.insert(levels.end(), c.begin(), c.end());
    };
    // Chip 2's DAC channel gets the start level with the first switch; the fourth frame of the
    // unchanged camera is judged (all saturated: +5), and the next switch writes 25.
    for (int i = 1; i <= 4; ++i) {
        pass(0xFF);
    }
    EXPECT_EQ(live_.Tables.AdcRange[kChip][1], 25);
    EXPECT_EQ(levels, Calls{C("I2CHWWrite3", {0x48, 0xF1, 20, 0})});
    pass(0xFF);
    EXPECT_EQ(levels, (Calls{C("I2CHWWrite3", {0x48, 0xF1, 20, 0}),
                             C("I2CHWWrite3", {0x48, 0xF1, 25, 0})}));

    // Four bad frames in a row: one step down, recorded and written at once.
    levels.clear();
    for (int i = 0; i < 4; ++i) {
        platform::clock::advance(5);
        memory_.FailWith(live_.Handoff.Chip(kChip).FrameCursor, 0x10, platform::clock::now());
        fake_.ClearCalls();
        live_.Cycle.MainCycleTimerTimer();
        const Calls c = Only(fake_.calls, "I2CHWWrite3");
        levels.insert(levels.end(), c.begin(), c.end());
    }
    EXPECT_EQ(levels, Calls{C("I2CHWWrite3", {0x48, 0xF1, 24, 0})});
    EXPECT_EQ(live_.Tables.AdcRange[kChip][1], 24);
    const LevelStepHistory& h = board_.LevelSteps[kChip - 1][0];
    EXPECT_EQ(h.Steps, (std::array<std::int32_t, 3>{5, -1, 0}));
    EXPECT_EQ(h.Position, 3);
}

TEST_F(StationBoardTest, FailedSwitchesShowInTheDiagnosticsWindowUntilItsReset) {
    StartUp();
    Window(1, 4);
    board_.Control.Settings.AutoRepeat = 1;
    fake_.i2c_results = {0, 1, 1}; // the level goes out, both tries of the switch fail
    fake_.error_codes = {3, 12};
    Pass();
    EXPECT_EQ(board_.Control.CaptureMuxSent[kChip - 1], 16);

    Diagnostics mes(live_.Counters, &board_.Port, base_.LangList);
    EXPECT_EQ(mes.ErrorCell(3, 1), "1");
    EXPECT_EQ(mes.ErrorCell(8, 1), "1"); // codes above 8 count in entry 8
    EXPECT_EQ(mes.ErrorCell(10, 1), "1");
    EXPECT_EQ(mes.ErrorCell(10, 2), "0");
    EXPECT_EQ(board_.Control.Counters.MuxFailSinceReset, 1u);
    mes.ResetBtnClick();
    for (int col = 1; col <= 10; ++col) {
        EXPECT_EQ(mes.ErrorCell(col, 1), "0") << col;
    }
    EXPECT_EQ(board_.Control.Counters.MuxFailSinceReset, 0u);
}

TEST_F(StationBoardTest, WithoutBoardControlNothingReachesTheLibraryButFramesAndSoundGoOn) {
    fake_.i2c_init_ok = {0, 0, 0, 0};
    StartUp();
    EXPECT_FALSE(board_.Library.BoardControlOn());
    ChanelWindow& w = Window(2, 1);
    w.UseInput = 1;
    w.AlarmInputNumber = 1;
    w.AlarmInputState = 1; // the sensor word stays -1: input 1 reads high, in alarm
    w.UseOutput = 1;
    w.UseSound = 1;
    w.UseSpeaker = 1;
    board_.ReadColourFormat(kChip);
    EXPECT_EQ(fake_.calls, Calls{});
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(Pass(), Calls{});
    }
    board_.Port.Tone(3000, 50);
    EXPECT_EQ(actions_.frames, 4);
    EXPECT_EQ(w.SoundRequest, 1);
    EXPECT_EQ(fake_.calls, (Calls{C("Speaker", {396}), "SpeakerOff"}));
    EXPECT_EQ(SoundTick(), Calls{C("Speaker", {595})});
}

} // namespace
} // namespace station
