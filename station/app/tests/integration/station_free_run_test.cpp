// The station free-running on the virtual board with the cameras' sensor noise and lighting
// drift on (the machine's defaults): four chips stream for a minute of real time with a
// detection grid over every window, and nothing goes wrong anywhere: no machine fault, no bug
// check or unclean unload in the kernel stand-in, no detection on the still scenes. A moving
// object afterwards shows the detector was watching.
#include "station_rig.h"

#include "detector/detection_fields.h"

#include "machine/config.h"
#include "platform/clock.h"
#include "platform/nt_kernel.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace station {
namespace {

using namespace std::chrono_literals;
using rig::PumpUntil;

constexpr auto kStartTimeout = 20s;
constexpr auto kPictureTimeout = 15s;
constexpr auto kRun = 60s;

constexpr std::array<int, 4> kCameraOfChip{3, 7, 10, 16};

std::size_t at(int k) {
    return static_cast<std::size_t>(k - 1);
}

// An even grid of detection points over the whole picture, every `step` per mille.
void SetGrid(DetectionFields& d, int step) {
    d.PointCount = 0;
    for (int y = step / 2; y < 1000; y += step) {
        for (int x = step / 2; x < 1000; x += step) {
            d.PointX[static_cast<std::size_t>(d.PointCount)] = x;
            d.PointY[static_cast<std::size_t>(d.PointCount)] = y;
            ++d.PointCount;
        }
    }
}

TEST(StationFreeRun, FourChipsStreamAMinuteWithNoiseAndNothingGoesWrong) {
    std::mutex bugchecks_mutex;
    std::vector<std::string> bugchecks;
    platform::nt::set_bugcheck_handler([&](const platform::nt::BugCheck& b) {
        std::lock_guard lock(bugchecks_mutex);
        bugchecks.emplace_back(b.what());
    });

    {
        rig::StationRig rig(TOLM_BIN_DIR);
        ASSERT_EQ(rig.InstallDrivers(), "");
        rig.StartMachine();
        machine::Machine& hw = rig.Machine();
        for (const machine::CameraConfig& c : hw.config().boards.front().cameras) {
            ASSERT_GT(c.noise, 0) << "the run is meant with the cameras' noise on";
            ASSERT_GT(c.drift, 0);
        }
        ASSERT_TRUE(rig.StartStation({1, 2, 3, 4}, kStartTimeout));
        std::array<TFormChanel*, 4> windows{};
        for (int k = 1; k <= 4; ++k) {
            windows[at(k)] = rig.AddWindow(k, kCameraOfChip[at(k)]);
            ASSERT_NE(windows[at(k)], nullptr) << k;
        }
        ASSERT_TRUE(PumpUntil(
            [&] {
                for (int k = 1; k <= 4; ++k) {
                    if (rig::CameraShown(*windows[at(k)]) != kCameraOfChip[at(k)]) {
                        return false;
                    }
                }
                return true;
            },
            kPictureTimeout))
            << "every window shows its camera";

        // The grid with the default thresholds; the first comparison (against nothing) is the
        // one the detector drops, so the run starts once every window has had it.
        for (TFormChanel* w : windows) {
            SetGrid(w->Window().Detection, 20);
        }
        ASSERT_TRUE(PumpUntil(
            [&] {
                for (TFormChanel* w : windows) {
                    if (w->Window().Detection.DropFirst != 0) {
                        return false;
                    }
                }
                return true;
            },
            kPictureTimeout))
            << "the detector runs on every window";

        std::array<int, 4> detections{};
        std::array<int, 4> most_changed{};
        const auto watch = [&] {
            for (int k = 1; k <= 4; ++k) {
                const DetectionFields& d = windows[at(k)]->Window().Detection;
                most_changed[at(k)] = std::max(most_changed[at(k)], int(d.ChangedCount));
                if (DetectionAlarm(d)) {
                    ++detections[at(k)];
                }
            }
            return false;
        };
        const std::uint64_t fields_before = hw.field_count(1);
        PumpUntil(watch, kRun);
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(detections[at(k)], 0)
                << "chip " << k << " detected on a still scene (most points changed in a frame: "
                << most_changed[at(k)] << ")";
            EXPECT_GE(hw.field_count(k), fields_before + 60 * 50 * 9 / 10) << "chip " << k;
            EXPECT_EQ(rig::CameraShown(*windows[at(k)]), kCameraOfChip[at(k)]) << k;
        }
        EXPECT_EQ(hw.fault_count(), 0u);
        for (const machine::Fault& f : hw.faults()) {
            ADD_FAILURE() << machine::fault_name(f.kind) << " chip " << f.chip << ": " << f.detail;
        }

        // The detector was watching: a bright object crossing the scene of chip 1's camera is
        // found.
        const std::uint32_t now = platform::clock::now();
        hw.add_scene_object(1, kCameraOfChip[0],
                            machine::SceneObject{now, 10000, 100, 300, 200, 200, 700, 300});
        EXPECT_TRUE(PumpUntil([&] { return DetectionAlarm(windows[0]->Window().Detection); },
                              kPictureTimeout))
            << "a moving object raises a detection";
        hw.clear_scene_objects(1, kCameraOfChip[0]);

        rig.CloseStation();
        EXPECT_TRUE(rig.Program().Life().Startup().Closed());
        EXPECT_EQ(hw.fault_count(), 0u);
        platform::nt::clear_unload_reports();
        platform::nt::reset();
        for (const auto& report : platform::nt::unload_reports()) {
            EXPECT_TRUE(report.clean()) << report.service;
        }
    }
    platform::nt::set_bugcheck_handler({});
    std::lock_guard lock(bugchecks_mutex);
    EXPECT_TRUE(bugchecks.empty()) << bugchecks.front();
}

} // namespace
} // namespace station
