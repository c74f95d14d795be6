// The alarm chain end to end on the virtual board: the real station started from a stored
// configuration, its windows set up through the per-camera settings dialog. A still scene
// raises nothing; an object moving before a window's camera is detected on the standard grid:
// the window's relay goes on and off again after its hold, its camera reaches the alarm
// monitor through the crosspoint, the speaker sounds and the alarm frames are in the archive
// with the object's zone. A sensor input at its active level does the same without motion.
#include "station_rig.h"

#include "camera_windows_run.h"

#include "archive/archive_reader.h"
#include "camera/adj_found_model.h"
#include "detector/detection_fields.h"

#include "machine/config.h"
#include "platform/clock.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace station {
namespace {

using namespace std::chrono_literals;
using rig::PumpFor;
using rig::PumpUntil;
using Model = AdjFoundModel;

constexpr auto kStartTimeout = 20s;
constexpr auto kPictureTimeout = 15s;
// The stored configuration's windows: slot k shows camera kCameraOfChip[k - 1] of chip k.
constexpr std::array<int, 4> kCameraOfChip{3, 7, 10, 16};

class AlarmOnBoard : public ::testing::Test {
protected:
    TFormChanel* window_of(int slot) {
        for (TFormChanel* w : CameraWindowsOf(rig_.Program().Form())) {
            if (w->Window().ChanelNumber == slot && rig_.Live().Slots.Used(slot) == &w->Window()) {
                return w;
            }
        }
        return nullptr;
    }

    // The frames of the archive, oldest first, and their pictures when asked.
    std::vector<archive::FrameRecord> Records(std::vector<archive::Picture>* pictures = nullptr) {
        archive::ArchFilters all;
        all.request.fill(true);
        all.alarm.fill(true);
        all.system.fill(true);
        const archive::ArchiveContext ctx = rig_.Program().Archive().Context();
        std::vector<archive::FrameRecord> out;
        for (std::int64_t pos = 0;; ++pos) {
            archive::Picture picture;
            archive::FrameRecord record;
            double percent = 0;
            const std::int32_t r =
                ctx.settings.cyclic
                    ? archive::ArchReadCyclic(ctx, pos, all, &picture, &record, &percent)
                    : archive::ArchReadLinear(ctx, pos, all, &picture, &record, &percent);
            if (r != archive::kFound) {
                return out;
            }
            EXPECT_GT(picture.width, 0);
            out.push_back(record);
            if (pictures != nullptr) {
                pictures->push_back(std::move(picture));
            }
        }
    }
    int RecordsOf(int camera) {
        int n = 0;
        for (const archive::FrameRecord& r : Records()) {
            n += r.camera == camera ? 1 : 0;
        }
        return n;
    }
    bool Sounded() {
        for (const machine::Tone& t : rig_.Machine().tones()) {
            if (std::abs(t.frequency() - 2000.0) < 20 || std::abs(t.frequency() - 4000.0) < 40) {
                return true;
            }
        }
        return false;
    }

    // The operator's set-up of one window through its dialog: relay `pin` energised on alarm
    // and held `hold` seconds, recording on alarm without compression, alarm monitor `monitor`.
    void SetUpWindow(int slot, int pin, int hold, int monitor, bool sound) {
        TFormAdjFound* dialog = rig_.Program().OpenAdjFound(slot);
        ASSERT_NE(dialog, nullptr);
        Model& m = dialog->Model();
        m.CheckClick(Model::Check::UseOutput, true);
        m.EditChange(Model::Edit::OutputPin, std::to_string(pin));
        m.EditChange(Model::Edit::OutputState, "0");
        m.EditChange(Model::Edit::AlarmOutputTime, std::to_string(hold));
        m.CheckClick(Model::Check::WriteOnAlarm, true);
        m.CheckClick(Model::Check::WriteJpeg, false);
        m.CheckClick(Model::Check::ShowPoints, true);
        m.AlarmMonNumberClick(monitor - 1, true);
        m.CheckClick(Model::Check::UseSound, sound);
        m.SpeakerClick(true);
        if (slot == 1) {
            m.B1Click();
        } else {
            m.B2Click();
            m.CheckClick(Model::Check::UseInput, true);
            m.EditChange(Model::Edit::AlarmInputNumber, "5");
            m.EditChange(Model::Edit::AlarmInputState, "0"); // a closed input is the alarm
        }
        dialog->OKBtnClick();
        // Released: freed after the current message, the window's points hidden then.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(rig_.Live().AdjFound.Open);
    }

    rig::StationRig rig_{TOLM_BIN_DIR};
};

TEST_F(AlarmOnBoard, MotionAndSensorAlarmsReachRelayMonitorSpeakerAndArchive) {
    ASSERT_EQ(rig_.InstallDrivers(), "");
    const std::string tool = std::string(TOLM_BIN_DIR) + "/tolm-store-configuration '" +
                             (rig_.Root() / "program").string() + "' > /dev/null";
    ASSERT_EQ(std::system(tool.c_str()), 0);
    rig_.StartMachine();
    machine::Machine& hw = rig_.Machine();
    ASSERT_TRUE(rig_.StartStation({1, 2, 3, 4}, kStartTimeout));
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (int slot = 1; slot <= 2; ++slot) {
                TFormChanel* w = window_of(slot);
                if (w == nullptr ||
                    rig::CameraShown(*w) != kCameraOfChip[static_cast<std::size_t>(slot - 1)]) {
                    return false;
                }
            }
            return true;
        },
        kPictureTimeout))
        << "the stored windows show their cameras";

    LiveStation& live = rig_.Live();
    live.Tables.MonByFind[1] = true;
    live.Tables.MonByFind[2] = true;
    SetUpWindow(1, 3, 1, 1, true);
    SetUpWindow(2, 4, 0, 2, false);
    ChanelWindow& moving = window_of(1)->Window();
    ChanelWindow& sensor = window_of(2)->Window();
    ASSERT_EQ(moving.Detection.PointCount, 4000);
    ASSERT_TRUE(PumpUntil([&] { return moving.Detection.DropFirst == 0; }, kPictureTimeout));

    // A still scene: nothing.
    hw.clear_tones();
    const int monitor1 = hw.monitor_route(1, 1);
    bool alarmed = false;
    PumpUntil(
        [&] {
            alarmed = alarmed || DetectionAlarm(moving.Detection) || moving.OutputActive != 0 ||
                      sensor.OutputActive != 0;
            return false;
        },
        3s);
    EXPECT_FALSE(alarmed);
    EXPECT_FALSE(hw.relay_energised(1, 3));
    EXPECT_FALSE(hw.relay_energised(1, 4));
    EXPECT_EQ(hw.monitor_route(1, 1), monitor1);
    EXPECT_FALSE(Sounded());
    EXPECT_TRUE(Records().empty());

    // An object crosses camera 3: relay 3, monitor 1, the speaker, the archive. The detector
    // sees it come and go.
    const std::uint32_t start = platform::clock::now();
    constexpr std::uint32_t kCrossing = 2000;
    hw.add_scene_object(1, kCameraOfChip[0],
                        machine::SceneObject{start, kCrossing, 100, 300, 200, 200, 700, 300});
    EXPECT_TRUE(PumpUntil([&] { return hw.relay_energised(1, 3); }, kPictureTimeout))
        << "the relay goes on";
    EXPECT_TRUE(
        PumpUntil([&] { return hw.monitor_route(1, 1) == kCameraOfChip[0]; }, kPictureTimeout))
        << "the camera reaches the alarm monitor";
    EXPECT_TRUE(PumpUntil([&] { return Sounded(); }, kPictureTimeout)) << "the speaker sounds";
    EXPECT_TRUE(PumpUntil([&] { return RecordsOf(kCameraOfChip[0]) > 0; }, kPictureTimeout));
    // Once the object is gone and the scene still, the relay goes off, held at least its
    // second from the moment it went on.
    std::uint32_t on_since = start;
    bool on = true;
    std::uint32_t released = 0;
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::uint32_t now = platform::clock::now();
            const bool energised = hw.relay_energised(1, 3);
            if (energised && !on) {
                on_since = now;
            }
            on = energised;
            if (now - start > kCrossing + 200 && !energised) {
                released = now;
                return true;
            }
            return false;
        },
        kPictureTimeout))
        << "the relay goes off after its hold once the scene is still";
    EXPECT_GE(released - on_since, 1000u - 100u);
    hw.clear_scene_objects(1, kCameraOfChip[0]);
    std::vector<archive::Picture> pictures;
    const std::vector<archive::FrameRecord> motion = Records(&pictures);
    ASSERT_FALSE(motion.empty());
    // The changed points are burnt into the recorded frames (yellow in 24 bits).
    int marked = 0;
    for (const archive::Picture& p : pictures) {
        for (std::size_t i = 0; i + 2 < p.bgr.size(); i += 3) {
            marked += p.bgr[i] == 0 && p.bgr[i + 1] == 255 && p.bgr[i + 2] == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(marked, 0);
    for (const archive::FrameRecord& r : motion) {
        EXPECT_EQ(r.camera, kCameraOfChip[0]);
        EXPECT_EQ(r.alarm, 1);
        EXPECT_EQ(r.manual, 0);
        EXPECT_EQ(r.jpeg, 0);
        // The object's zone: its centre on the object's path, its size the window's.
        EXPECT_EQ(r.zone_size, moving.Detection.ObjectSize);
        EXPECT_GT(r.zone_y, 150);
        EXPECT_LT(r.zone_y, 650);
    }
    EXPECT_FALSE(hw.relay_energised(1, 4)) << "the sensor window stayed quiet";

    // Sensor input 5 closed: relay 4, monitor 2, a whole-picture record, without motion.
    hw.set_sensor(1, 5, false);
    EXPECT_TRUE(PumpUntil([&] { return hw.relay_energised(1, 4); }, kPictureTimeout));
    EXPECT_TRUE(
        PumpUntil([&] { return hw.monitor_route(1, 2) == kCameraOfChip[1]; }, kPictureTimeout));
    EXPECT_TRUE(PumpUntil([&] { return RecordsOf(kCameraOfChip[1]) > 0; }, kPictureTimeout));
    hw.set_sensor(1, 5, true);
    EXPECT_TRUE(PumpUntil([&] { return !hw.relay_energised(1, 4); }, kPictureTimeout));
    pictures.clear();
    const std::vector<archive::FrameRecord> all = Records(&pictures);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const archive::FrameRecord& r = all[i];
        if (r.camera == kCameraOfChip[1]) {
            // No detection: nothing burnt in.
            const std::vector<std::uint8_t>& bgr = pictures[i].bgr;
            for (std::size_t j = 0; j + 2 < bgr.size(); j += 3) {
                ASSERT_FALSE(bgr[j] == 0 && bgr[j + 1] == 255 && bgr[j + 2] == 255);
            }
            EXPECT_EQ(std::tuple(r.alarm, r.zone_x, r.zone_y, r.zone_size),
                      std::tuple(1, 500, 500, 1000));
        }
    }
    EXPECT_FALSE(hw.relay_energised(1, 3));
    EXPECT_EQ(hw.fault_count(), 0u);

    rig_.CloseStation();
    EXPECT_EQ(hw.relay_byte(1), 255);
}

} // namespace
} // namespace station
