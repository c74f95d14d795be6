// The capture driver's Video Source dialog opened from the station's source menu, on the
// virtual board with the real driver stack and a scripted operator: the input chosen there
// reaches the camera window's picture after the capture restart, and the station's close
// while the dialog is open ends the dialog first and shuts down after it has returned.
#include "station_rig.h"

#include "ui/main/main_form.h"

#include "platform/dialog_script.h"
#include "win32/dialog_box.h"
#include "win32/dialogs.h"

#include <QAction>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace station {
namespace {

using namespace std::chrono_literals;
using rig::PumpUntil;

constexpr auto kStartTimeout = 20s;
constexpr auto kPictureTimeout = 15s;
constexpr std::uint32_t kVideoSource = 300;
constexpr int kChip = 2;
constexpr int kCamera = 7;

class DriverDialogOnBoard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(rig_.InstallDrivers(), "");
        rig_.StartMachine();
        ASSERT_TRUE(rig_.StartStation({1, 2, 3, 4}, kStartTimeout));
        window_ = rig_.AddWindow(kChip, kCamera);
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(
            PumpUntil([&] { return rig::CameraShown(*window_) == kCamera; }, kPictureTimeout));
    }
    // The source menu's item of the chip, as the operator chooses it; answers once the
    // dialog has run.
    bool open_source_dialog() {
        QAction* item = rig_.Program().Form().MenuItem("SoerceMenuItem" + std::to_string(kChip));
        if (item == nullptr) {
            return false;
        }
        const std::size_t before = host_->runs().size();
        // After a dialog the item is enabled by the operator's source right, which no
        // operator holds without a logged-in one: act as one who holds it.
        item->setEnabled(true);
        item->trigger();
        return PumpUntil([&] { return host_->runs().size() > before; }, kPictureTimeout);
    }
    int connector() {
        return static_cast<int>((rig_.Machine().read_register(kChip, 0x004) >> 5) & 3);
    }

    rig::StationRig rig_{TOLM_BIN_DIR};
    TFormChanel* window_ = nullptr;
    std::shared_ptr<platform::HeadlessDialogHost> host_ =
        std::make_shared<platform::HeadlessDialogHost>();
    platform::ScopedDialogHost scope_{host_};
};

TEST_F(DriverDialogOnBoard, SourceMenuOpensVideoSourceAndTheChosenInputReachesThePicture) {
    host_->on(kVideoSource, [](platform::Dialog& d) {
        EXPECT_TRUE(d.control(310)->checked()) << "the camera input";
        d.click(311);
        d.click(IDOK);
    });
    ASSERT_TRUE(open_source_dialog());
    EXPECT_EQ(host_->runs().back().caption, "Video Source Driver " + std::to_string(kChip));
    EXPECT_EQ(host_->runs().back().result, IDOK);
    EXPECT_EQ(connector(), 3);
    EXPECT_TRUE(PumpUntil([&] { return rig::CameraShown(*window_) == 0; }, kPictureTimeout))
        << "no signal on another input";

    host_->on(kVideoSource, [](platform::Dialog& d) {
        d.click(310);
        d.click(IDOK);
    });
    ASSERT_TRUE(open_source_dialog());
    EXPECT_EQ(connector(), 2);
    EXPECT_TRUE(PumpUntil([&] { return rig::CameraShown(*window_) == kCamera; }, kPictureTimeout))
        << "the picture is back after the capture restart";

    rig_.CloseStation();
    EXPECT_TRUE(rig_.Program().Life().Startup().Closed());
}

TEST_F(DriverDialogOnBoard, CloseDuringTheDialogEndsItFirstAndShutsDownAfterIt) {
    bool closed_inside = true;
    host_->on(kVideoSource, [&](platform::Dialog& d) {
        d.click(311);
        rig_.CloseStation(); // the main form's close while the dialog runs
        EXPECT_TRUE(d.ended()) << "ended as at the end of the session";
        closed_inside = rig_.Program().Life().Startup().Closed();
    });
    ASSERT_TRUE(open_source_dialog());
    EXPECT_FALSE(closed_inside) << "the shut-down waits for the dialog's return";
    EXPECT_EQ(host_->runs().back().result, IDCANCEL);
    EXPECT_EQ(connector(), 2) << "the dialog's changes were undone";
    EXPECT_TRUE(PumpUntil([&] { return rig_.Program().Life().Startup().Closed(); }, 5s));
    EXPECT_EQ(rig_.Machine().fault_count(), 0u);
}

} // namespace
} // namespace station
