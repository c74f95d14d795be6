// Stored configurations on the virtual board: the station starts in a program folder holding
// configuration 1 (written by the run command's tool) and shows its four camera windows with
// their stored cameras, read back from the pictures; saved as 2 through the dialog, the windows
// come back with configuration 1 and then 2.
#include "station_rig.h"

#include "camera_windows_run.h"

#include "base/codepage.h"
#include "base/language.h"
#include "configuration/conf_main.h"

#include <QAction>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>

namespace station {
namespace {

using namespace std::chrono_literals;
using rig::kCameraOfChip;
using rig::kPictureTimeout;
using rig::kStartTimeout;
using rig::PumpUntil;

class ConfigurationOnBoard : public ::testing::Test {
protected:
    TFormChanel* window_of(int slot) {
        for (TFormChanel* w : CameraWindowsOf(rig_.Program().Form())) {
            if (w->Window().ChanelNumber == slot && rig_.Live().Slots.Used(slot) == &w->Window()) {
                return w;
            }
        }
        return nullptr;
    }
    // Every slot 1..4 shows its camera; `cameras` by slot.
    bool show(const std::array<int, 4>& cameras) {
        return PumpUntil(
            [&] {
                for (int slot = 1; slot <= 4; ++slot) {
                    TFormChanel* w = window_of(slot);
                    if (w == nullptr || !w->isVisible() ||
                        rig::CameraShown(*w) != cameras[static_cast<std::size_t>(slot - 1)]) {
                        return false;
                    }
                }
                return true;
            },
            kPictureTimeout);
    }

    rig::StationRig rig_{TOLM_BIN_DIR};
};

TEST_F(ConfigurationOnBoard, StartsFromTheStoredConfigurationAndLoadsSavedOnes) {
    ASSERT_EQ(rig_.InstallDrivers(), "");
    const std::string tool = std::string(TOLM_BIN_DIR) + "/tolm-store-configuration '" +
                             (rig_.Root() / "program").string() + "' > /dev/null";
    ASSERT_EQ(std::system(tool.c_str()), 0);
    rig_.StartMachine();
    ASSERT_TRUE(rig_.StartStation({1, 2, 3, 4}, kStartTimeout));

    ASSERT_TRUE(show(kCameraOfChip)) << "configuration 1's windows and cameras";
    for (int slot = 1; slot <= 4; ++slot) {
        TFormChanel* w = window_of(slot);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->Window().ChNumber, slot);
        EXPECT_EQ(
            w->windowTitle().toStdString(),
            Cp1251ToUtf8(DefaultCameraName(rig_.Program().State().Base.LangList,
                                           kCameraOfChip[static_cast<std::size_t>(slot - 1)])));
    }
    StationConfiguration& conf = rig_.Program().Configuration();
    EXPECT_EQ(conf.State().CurConf, 1);

    // Slot 1 turned to camera 5, then saved as 2 through the dialog (the question answered OK).
    window_of(1)->Window().CamNumber = 5;
    // The station starts locked; without a level-1 password the lock button opens it.
    EXPECT_FALSE(rig_.Program().Form().MenuItem("N1")->isEnabled());
    rig_.Program().Access().PassButClick();
    ASSERT_TRUE(rig_.Program().Form().MenuItem("N1")->isEnabled());
    rig_.Program().Form().MenuItem("N1")->trigger();
    QPointer<TAdjConf> dialog = conf.AdjConf();
    ASSERT_TRUE(dialog);
    dialog->Model().MouseDown(AdjConfModel::kSaveColumn, 2);
    dialog->Carry(dialog->Model().MouseUp(AdjConfModel::kSaveColumn, 2));
    EXPECT_EQ(conf.State().CurConf, 2);

    // Load 1 from the dialog: the dialog stays, the windows come back with their cameras.
    dialog->Model().MouseDown(AdjConfModel::kLoadColumn, 1);
    dialog->Carry(dialog->Model().MouseUp(AdjConfModel::kLoadColumn, 1));
    ASSERT_TRUE(dialog);
    EXPECT_EQ(conf.State().CurConf, 1);
    EXPECT_TRUE(show(kCameraOfChip)) << "configuration 1 again";

    dialog->Model().MouseDown(AdjConfModel::kLoadColumn, 2);
    dialog->Carry(dialog->Model().MouseUp(AdjConfModel::kLoadColumn, 2));
    EXPECT_EQ(conf.State().CurConf, 2);
    EXPECT_TRUE(show({5, 7, 10, 16})) << "configuration 2";
    dialog->CancelBtnClick();
    rig_.CloseStation();
}

} // namespace
} // namespace station
