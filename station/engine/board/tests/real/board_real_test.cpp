// Board control and the PC speaker against the real board-control library on the virtual board:
// the kernel driver started as a service in a temporary system root, the library found by name
// in the system directory and bound as at start-up, the machine stepped one field at a time.
#include "board_fixture.h"

#include "board/board_control.h"
#include "board/board_library.h"
#include "settings/settings_files.h"
#include "alarm/speaker.h"

#include "machine/camera_code.h"
#include "platform/clock.h"
#include "platform/paths.h"

#include <array>
#include <filesystem>
#include <vector>

namespace station {
namespace {

constexpr int kBoard = 1; // the machine's one board, chips 1 to 4

class RealBoard : public boardctl_test::BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        map_ = kHrdMapDefaults; // multiplexer and DAC on chip 1, relays and sensors on chip 4
    }
    void TearDown() override {
        station_.Release(); // its device handles go before the driver does
        BoardTest::TearDown();
    }

    // The machine with the driver started, the library in the system directory, bound by name.
    void bind() {
        ASSERT_NO_FATAL_FAILURE(bring_up());
        ASSERT_NO_FATAL_FAILURE(load_station_library());
    }
    void load_station_library() {
        std::filesystem::create_symlink(TARVOVFW_PATH,
                                        platform::system_directory() / "tarvovfw.dll");
        station_.Load({true, true, true, true});
        ASSERT_TRUE(station_.BoardLibLoaded());
        ASSERT_TRUE(station_.BoardControlOn());
    }

    // Capture on chip 1; the library has opened its devices by then (an open clears the ready
    // words).
    void start_stream() {
        device_ = open_device(0);
        ASSERT_NE(device_, INVALID_HANDLE_VALUE);
        ASSERT_NO_FATAL_FAILURE(
            start_capture(device_, kColor, kWidth, kHeight, kWidth * 2 * kHeight));
    }

    // Every buffer handed back, then fields stepped until the chip completes a frame; null
    // when none comes.
    const std::uint8_t* next_frame() {
        for (int s = 0; s < 4; ++s) {
            __atomic_store_n(&table_[s].ready, 0u, __ATOMIC_RELEASE);
        }
        for (int field = 0; field < 8; ++field) {
            hw().step();
            for (int s = 0; s < 4; ++s) {
                if (__atomic_load_n(&table_[s].ready, __ATOMIC_ACQUIRE) != 0) {
                    EXPECT_EQ(table_[s].error, 0u);
                    return reinterpret_cast<const std::uint8_t*>(table_[s].buffer);
                }
            }
        }
        ADD_FAILURE() << "no frame";
        return nullptr;
    }
    // A frame begun after the last change: the one after the next.
    const std::uint8_t* settled_frame() { return next_frame() ? next_frame() : nullptr; }

    static int camera_in(const std::uint8_t* frame) {
        return frame ? machine::read_camera_number(frame, kWidth, kHeight,
                                                   machine::ColorFormat(kColor), true)
                     : -2;
    }
    // Luma of the scene's background, left of the bar and below the code strip.
    static int background_luma(const std::uint8_t* frame) { return luma(frame, 2, kHeight / 2); }
    // Luma of the code strip's black cell: the picture's black, which no gain moves.
    static int black_luma(const std::uint8_t* frame) {
        return luma(frame, kWidth / 4, kHeight / 11);
    }
    static int luma(const std::uint8_t* frame, int x, int y) {
        return frame ? machine::pixel_luma(frame, kWidth, kHeight, machine::ColorFormat(kColor),
                                           true, x, y)
                     : -1;
    }

    void expect_no_i2c_errors() {
        for (int kind = 0; kind < kI2CDeviceKinds; ++kind) {
            const auto k = static_cast<std::size_t>(kind);
            EXPECT_EQ(board_.Counters.I2CErrorCounts[k],
                      (std::array<std::uint64_t, kI2CErrorEntries>{}))
                << kind;
            EXPECT_EQ(board_.Counters.I2CFailTotals[k], 0u) << kind;
        }
        EXPECT_EQ(board_.Counters.BusResetCount, 0u);
        EXPECT_EQ(hw().fault_count(), 0u);
    }

    static constexpr std::uint32_t kColor = 4, kWidth = 192, kHeight = 144; // YUY2

    BoardLibrary station_;
    std::array<bool, kChipCount> present_{true, true, true, true};
    HrdMapTable map_ = kHrdMapProvisional;
    BoardControl board_{station_, present_, map_};
    HANDLE device_ = INVALID_HANDLE_VALUE;
};

// The camera the station wants on chip 1 is the one whose picture the chip captures, from the
// first frame after the switch; the other chips' outputs follow their own switches.
TEST_F(RealBoard, CaptureSwitchPutsTheWantedCameraOnTheChip) {
    ASSERT_NO_FATAL_FAILURE(bind());
    ASSERT_NO_FATAL_FAILURE(start_stream());
    EXPECT_EQ(camera_in(next_frame()), 0) << "unrouted at power-up: no signal";

    for (const std::uint8_t camera : {5, 12, 1, 16}) {
        SCOPED_TRACE(static_cast<int>(camera));
        board_.CaptureMuxWanted[0] = camera;
        board_.SwitchCaptureMux(true, 1);
        EXPECT_EQ(board_.CaptureMuxSent[0], camera);
        EXPECT_EQ(hw().capture_route(kBoard, 1), camera);
        EXPECT_EQ(camera_in(next_frame()), camera);
    }

    const std::uint8_t others[] = {7, 3, 14}; // chips 2 to 4
    for (int k = 2; k <= 4; ++k) {
        board_.CaptureMuxWanted[static_cast<std::size_t>(k - 1)] = others[k - 2];
        board_.SwitchCaptureMux(true, k);
    }
    for (int k = 2; k <= 4; ++k) {
        EXPECT_EQ(hw().capture_route(kBoard, k), others[k - 2]) << k;
    }
    EXPECT_EQ(camera_in(next_frame()), 16) << "chip 1 keeps its camera";
    expect_no_i2c_errors();
}

// Every control-monitor output takes the camera switched to it, and only that output changes.
TEST_F(RealBoard, MonitorSwitchRoutesACameraToItsOutput) {
    ASSERT_NO_FATAL_FAILURE(bind());
    const std::uint8_t cameras[kMonitorCount] = {9, 2, 15, 1};
    for (int m = 1; m <= kMonitorCount; ++m) {
        board_.MonitorMuxWanted[static_cast<std::size_t>(m - 1)] = cameras[m - 1];
        board_.SwitchMonitorMux(m);
        EXPECT_EQ(board_.MonitorMuxSent[static_cast<std::size_t>(m - 1)], cameras[m - 1]);
        for (int out = 1; out <= kMonitorCount; ++out) {
            EXPECT_EQ(hw().monitor_route(kBoard, out), out <= m ? cameras[out - 1] : 0)
                << "after monitor " << m << ", output " << out;
        }
    }
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(hw().capture_route(kBoard, k), 0) << "capture output " << k;
    }
    board_.MonitorMuxWanted[1] = 11;
    board_.SwitchMonitorMux(2);
    EXPECT_EQ(hw().monitor_route(kBoard, 2), 11);
    expect_no_i2c_errors();
}

// A level reaches the chip's DAC output and scales the picture above its black by
// (96 - level) / 64; the camera code survives every level, another chip's level leaves the
// picture as it is, and a chip's first level goes out even when it is 0.
TEST_F(RealBoard, CameraLevelReachesTheDacAndChangesTheBrightness) {
    ASSERT_NO_FATAL_FAILURE(bind());
    ASSERT_NO_FATAL_FAILURE(start_stream());
    board_.CaptureMuxWanted[0] = 6;
    board_.SwitchCaptureMux(true, 1);

    // The level the DAC starts at, gain 1, as the reference.
    board_.WriteCameraLevel(32, 1);
    EXPECT_EQ(hw().dac_level(kBoard, 1), 32);
    const std::uint8_t* frame = settled_frame();
    ASSERT_EQ(camera_in(frame), 6);
    const int black = black_luma(frame);
    const double reference = background_luma(frame) - black;
    ASSERT_GT(reference, 40);

    struct Case {
        std::int32_t level;
        int chip;
    };
    int previous = background_luma(frame);
    for (const Case c : {Case{63, 1}, Case{0, 1}, Case{0, 2}, Case{45, 3}, Case{63, 4}}) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " on chip " << c.chip);
        board_.WriteCameraLevel(c.level, c.chip);
        EXPECT_EQ(board_.DacLevelSent[static_cast<std::size_t>(c.chip - 1)], c.level);
        EXPECT_EQ(hw().dac_level(kBoard, c.chip), c.level);
        frame = settled_frame();
        EXPECT_EQ(camera_in(frame), 6);
        EXPECT_EQ(black_luma(frame), black);
        if (c.chip == 1) {
            const double gain = (96.0 - c.level) / 64.0;
            EXPECT_NEAR(background_luma(frame), black + reference * gain, 1.0);
            EXPECT_NE(background_luma(frame), previous);
            previous = background_luma(frame);
        } else {
            EXPECT_EQ(background_luma(frame), previous);
        }
    }
    EXPECT_EQ(hw().dac_level(kBoard, 1), 0);
    expect_no_i2c_errors();
}

// The relay byte reaches the latch on chip 4's bus, and all-off writes 255 whatever was sent.
TEST_F(RealBoard, RelayOutputsRoundTrip) {
    ASSERT_NO_FATAL_FAILURE(bind());
    for (const std::uint8_t byte : {0x00, 0xA5, 0x5A, 0x7F, 0xFE}) {
        SCOPED_TRACE(static_cast<int>(byte));
        board_.RelayByte = byte;
        board_.WriteRelayOutputs();
        EXPECT_EQ(hw().relay_byte(kBoard), byte);
        for (int relay = 1; relay <= kRelayCount; ++relay) {
            EXPECT_EQ(hw().relay_energised(kBoard, relay), (byte >> (relay - 1) & 1) == 0) << relay;
        }
    }
    board_.WriteAllRelaysOff();
    EXPECT_EQ(hw().relay_byte(kBoard), 0xFF);
    for (int relay = 1; relay <= kRelayCount; ++relay) {
        EXPECT_FALSE(hw().relay_energised(kBoard, relay)) << relay;
    }
    expect_no_i2c_errors();
}

// The sixteen sensor inputs come back as one word, bit n - 1 = input n, both bytes included.
TEST_F(RealBoard, SensorInputsRoundTrip) {
    ASSERT_NO_FATAL_FAILURE(bind());
    EXPECT_EQ(board_.SensorWord, -1);
    for (const std::uint16_t levels : {0x7EF6, 0x8000, 0x0180, 0x0000, 0xFFFF, 0x1234}) {
        SCOPED_TRACE(levels);
        for (int input = 1; input <= 16; ++input) {
            hw().set_sensor(kBoard, input, (levels >> (input - 1) & 1) != 0);
        }
        board_.ReadSensorInputs();
        EXPECT_EQ(static_cast<std::uint16_t>(board_.SensorWord), levels);
    }
    expect_no_i2c_errors();
}

// Once the library has opened the kernel device (which grants the process the ports), a tone
// on the PC speaker lands in the speaker's record with the station's divisor and length.
TEST_F(RealBoard, SpeakerToneAppearsInTheSpeakersRecord) {
    ASSERT_NO_FATAL_FAILURE(bring_up());
    SpeakerOn(2000);
    SpeakerOff();
    EXPECT_TRUE(hw().tones().empty()) << "no port access before a device is open";
    EXPECT_EQ(hw().fault_count(machine::FaultKind::PortNotGranted), 5u + 2u);
    EXPECT_EQ(hw().fault_count(), 5u + 2u);
    hw().clear_faults();

    ASSERT_NO_FATAL_FAILURE(load_station_library());
    ASSERT_TRUE(hw().io_granted());
    struct Case {
        std::uint32_t frequency;
        std::uint32_t divisor;
        std::uint32_t ms;
    };
    const Case cases[] = {{2000, 595, 50}, {4000, 297, 100}, {10, 0xFFFF, 30}};
    for (const Case& c : cases) {
        SpeakerOn(c.frequency);
        platform::clock::advance(c.ms);
        SpeakerOff();
    }
    SpeakerOn(0); // nothing
    // The gate opens before the new divisor is loaded, so from the second tone on the record
    // also holds an instant of the previous divisor; only tones that last count.
    std::vector<machine::Tone> tones;
    for (const machine::Tone& t : hw().tones()) {
        EXPECT_FALSE(t.sounding);
        if (t.stop_tick != t.start_tick) {
            tones.push_back(t);
        }
    }
    ASSERT_EQ(tones.size(), std::size(cases));
    for (std::size_t i = 0; i < tones.size(); ++i) {
        SCOPED_TRACE(cases[i].frequency);
        EXPECT_EQ(tones[i].divisor, cases[i].divisor);
        EXPECT_EQ(tones[i].stop_tick - tones[i].start_tick, cases[i].ms);
    }
    EXPECT_EQ(PortIn(0x61) & 3, 0);
    EXPECT_EQ(hw().fault_count(), 0u) << "no port access without the grant once it is given";
}

} // namespace
} // namespace station
