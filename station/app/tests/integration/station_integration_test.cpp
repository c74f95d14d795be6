// The station in process on the virtual board with the real driver stack installed into a fresh
// system root: the installer's kernel driver, capture driver copies and board-control library,
// the machine free-running in real time, the station's own start-up, timers and camera
// windows. Every frame a window shows has travelled through the chip's DMA, the kernel driver,
// the capture driver's worker, the capture layer and the hand-off.
#include "station_rig.h"

#include "camera_windows_run.h"
#include "ui/live/mes_form.h"

#include "platform/clock.h"
#include "platform/nt_kernel.h"

#include <QTableWidget>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace station {
namespace {

using namespace std::chrono_literals;
using rig::kCameraOfChip;
using rig::kPictureTimeout;
using rig::kStartTimeout;
using rig::PumpUntil;

class StationOnBoard : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string failure = rig_.InstallDrivers();
        ASSERT_EQ(failure, "");
        rig_.StartMachine();
        ASSERT_TRUE(rig_.StartStation({1, 2, 3, 4}, kStartTimeout))
            << "capture did not start on every chip";
        for (int k = 1; k <= 4; ++k) {
            windows_[static_cast<std::size_t>(k - 1)] =
                rig_.AddWindow(k, kCameraOfChip[static_cast<std::size_t>(k - 1)]);
            ASSERT_NE(windows_[static_cast<std::size_t>(k - 1)], nullptr) << k;
        }
    }

    rig::StationRig rig_{TOLM_BIN_DIR};
    std::array<TFormChanel*, 4> windows_{};
};

TEST_F(StationOnBoard, WindowsShowTheirCamerasWithFieldTimingAndBoardDevicesFollow) {
    LiveStation& live = rig_.Live();
    machine::Machine& hw = rig_.Machine();

    // Every window shows its own camera, read back from the picture it draws.
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (int k = 1; k <= 4; ++k) {
                if (rig::CameraShown(*windows_[static_cast<std::size_t>(k - 1)]) !=
                    kCameraOfChip[static_cast<std::size_t>(k - 1)]) {
                    return false;
                }
            }
            return true;
        },
        kPictureTimeout));
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(hw.capture_route(1, k), kCameraOfChip[static_cast<std::size_t>(k - 1)]) << k;
    }

    // The diagnostics window measures each camera's frame period: the chips run PAL, and a
    // window on its own chip gets every frame, two fields of 20 ms.
    auto* mes = dynamic_cast<TMesForm*>(rig_.Program().Life().MesForm());
    ASSERT_NE(mes, nullptr);
    ASSERT_EQ(live.Handoff.MesForm(), &mes->Figures());
    const auto period = [&](int k) -> const Diagnostics::Period& {
        return mes->Figures().PeriodOf(k, kCameraOfChip[static_cast<std::size_t>(k - 1)]);
    };
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (int k = 1; k <= 4; ++k) {
                if (period(k).Count < 25) {
                    return false;
                }
            }
            return true;
        },
        kPictureTimeout));
    for (int k = 1; k <= 4; ++k) {
        EXPECT_GE(period(k).Mean, 36) << "chip " << k;
        EXPECT_LE(period(k).Mean, 48) << "chip " << k;
        EXPECT_GE(period(k).Last, 20) << "chip " << k;
    }
    // The window's grid shows them: column 2k the mean of chip k, row c camera c.
    mes->Refresh();
    for (int k = 1; k <= 4; ++k) {
        const QTableWidgetItem* cell =
            mes->DG1()->item(kCameraOfChip[static_cast<std::size_t>(k - 1)], 2 * k);
        ASSERT_NE(cell, nullptr) << k;
        bool number = false;
        const double shown = QString(cell->text()).replace(',', '.').toDouble(&number);
        EXPECT_TRUE(number) << cell->text().toStdString();
        EXPECT_NEAR(shown, static_cast<double>(period(k).Mean), 1.0) << "chip " << k;
    }

    // Automatic level control: a camera started at the brightest level is brought down by the
    // station, and the level it settles on is the one the DAC holds for that chip.
    const int cam = kCameraOfChip[1];
    live.Tables.AdcRange[2][static_cast<std::size_t>(cam)] = 0;
    ASSERT_TRUE(live.Tables.AutoGain[2][static_cast<std::size_t>(cam)]);
    ASSERT_TRUE(PumpUntil(
        [&] {
            const int level = live.Tables.AdcRange[2][static_cast<std::size_t>(cam)];
            return level > 2 && hw.dac_level(1, 2) == level;
        },
        kPictureTimeout))
        << "level " << live.Tables.AdcRange[2][static_cast<std::size_t>(cam)] << ", DAC "
        << hw.dac_level(1, 2);

    // Relays: a window's alarm output drives its relay on the board's latch.
    ChanelWindow& w = windows_[0]->Window();
    w.UseOutput = 1;
    w.OutputPin = 3;
    w.OutputState = 0; // energised (bit cleared) while the alarm is active
    // The window's alarm actions hold an output that went on now for its hold time (no alarm
    // is raised here, so nothing turns it on again once it is cleared).
    w.AlarmOutputTime = 60;
    w.OutputTick = platform::clock::now();
    w.OutputActive = 1;
    EXPECT_TRUE(PumpUntil([&] { return hw.relay_energised(1, 3); }, kPictureTimeout));
    w.OutputActive = 0;
    EXPECT_TRUE(PumpUntil([&] { return !hw.relay_energised(1, 3); }, kPictureTimeout));
    EXPECT_FALSE(hw.relay_energised(1, 2));

    // Sensors: inputs closed and opened on the board reach the station's sensor word (open
    // inputs read 1).
    const auto sensor_bits = [&] {
        return static_cast<std::uint16_t>(live.Board.SensorWord()) & 0x0402u;
    };
    EXPECT_TRUE(PumpUntil([&] { return sensor_bits() == 0x0402u; }, kPictureTimeout));
    hw.set_sensor(1, 2, false);
    hw.set_sensor(1, 11, false);
    EXPECT_TRUE(PumpUntil([&] { return sensor_bits() == 0; }, kPictureTimeout));
    hw.set_sensor(1, 11, true);
    EXPECT_TRUE(PumpUntil([&] { return sensor_bits() == 0x0400u; }, kPictureTimeout));

    // The ordered shut-down leaves every relay off and the kernel driver unloads clean.
    rig_.CloseStation();
    EXPECT_TRUE(rig_.Program().Life().Startup().Closed());
    EXPECT_EQ(hw.relay_byte(1), 255);
    EXPECT_EQ(hw.fault_count(), 0u);
    platform::nt::clear_unload_reports();
    platform::nt::reset();
    for (const auto& report : platform::nt::unload_reports()) {
        EXPECT_TRUE(report.clean()) << report.service;
    }
}

} // namespace
} // namespace station

namespace station {
namespace {

// The run's camera list comes from the environment: a bad entry is left out, never a crash.
TEST(CameraList, KeepsTheWellFormedEntriesInRange) {
    using List = std::vector<std::pair<int, int>>;
    const struct {
        const char* text;
        List want;
    } cases[] = {
        {"1:3,2:7,3:10,4:16", {{1, 3}, {2, 7}, {3, 10}, {4, 16}}},
        {"", {}},
        {"1:1,,2:2,", {{1, 1}, {2, 2}}},
        {"0:1,5:1,1:0,1:17", {}},
        {"1:2x,x1:2,1:,:2,12,1:2:3,-1:2", {}},
        {"4:16,99999999999:1", {{4, 16}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseCameraList(c.text), c.want) << c.text;
    }
}

} // namespace
} // namespace station
