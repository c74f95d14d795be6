// Login and rights on the virtual board: the station starts locked with its menus off in a
// program folder holding password and rights files; the run command's camera windows open all
// the same; full access enables the board menus of the present chips, limited access exactly
// its rights, locking closes the open dialogs, and the station closes cleanly with a login
// pending. Without drivers, full access leaves the board menus off.
#include "station_rig.h"

#include "settings/settings_files.h"
#include "ui/access/check_password_form.h"

#include <platform/ui_recorder.h>

#include <QAction>
#include <QCoreApplication>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace station {
namespace {

using namespace std::chrono_literals;
using rig::PumpUntil;

constexpr auto kStartTimeout = 20s;

constexpr const char* kBoardMenus[] = {
    "ResMenu",    "ResMenuItem1",    "ResMenuItem2",    "ResMenuItem3",    "ResMenuItem4",
    "SoerceMenu", "SoerceMenuItem1", "SoerceMenuItem2", "SoerceMenuItem3", "SoerceMenuItem4"};
constexpr const char* kOtherMenus[] = {"AddChanel", "ReviewMenu", "N1", "N7"};

class AccessOnBoard : public ::testing::Test {
protected:
    bool on(const char* item) { return rig_.Program().Form().MenuItem(item)->isEnabled(); }
    // The second start-up stage has run (it shows the main form at its end).
    bool started() {
        return PumpUntil([&] { return rig_.Program().Form().isVisible(); }, kStartTimeout);
    }
    void login(const char* typed) {
        rig_.Program().Form().PassBut()->click();
        QPointer<TCheckPassword> dialog = rig_.Program().Access().CheckPassword();
        ASSERT_TRUE(dialog);
        dialog->Edit1()->setText(typed);
        dialog->OKBtnClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(dialog.isNull());
    }

    std::shared_ptr<platform::UiRecorder> recorder_ = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink_{recorder_};
    rig::StationRig rig_{TOLM_BIN_DIR};
};

TEST_F(AccessOnBoard, LockedAtStartThenEachLevelGetsItsMenus) {
    ASSERT_EQ(rig_.InstallDrivers(), "");
    BaseState files;
    SetProgramDir(files, (rig_.Root() / "program").string());
    RightsTable rights{};
    for (const int n : {1, 12, 14}) {
        rights[static_cast<std::size_t>(n - 1)] = true;
    }
    ASSERT_TRUE(SavePasswordFile(files, 1, "111") && SavePasswordFile(files, 2, "22") &&
                SaveRightsFile(files, rights));
    rig_.StartMachine();
    ASSERT_TRUE(rig_.StartStation({1, 2, 3, 4}, kStartTimeout));
    ASSERT_TRUE(started());
    StationProgram& program = rig_.Program();
    EXPECT_EQ(program.State().Access.AccessStatus, kAccessLocked);
    EXPECT_FALSE(program.Form().PassButUnlocked());
    for (const char* item : kBoardMenus) {
        EXPECT_FALSE(on(item)) << item;
    }
    for (const char* item : kOtherMenus) {
        EXPECT_FALSE(on(item)) << item;
    }

    // The run command's window opens on the locked station and shows its camera.
    TFormChanel* window = rig_.AddWindow(2, 5);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return rig::CameraShown(*window) == 5; }, 15s));
    EXPECT_FALSE(window->FindBtn()->isEnabled());

    login("111");
    EXPECT_EQ(program.State().Access.AccessStatus, kAccessFull);
    for (const char* item : kBoardMenus) {
        EXPECT_TRUE(on(item)) << item;
    }
    for (const char* item : kOtherMenus) {
        EXPECT_TRUE(on(item)) << item;
    }
    EXPECT_TRUE(window->FindBtn()->isEnabled() && window->WriteBtn()->isEnabled());

    // Locking closes the open dialogs.
    program.Form().MenuItem("N7")->trigger();
    program.Form().MenuItem("N1")->trigger();
    EXPECT_TRUE(program.Dialogs().IsOpen(SettingsDialog::PasswordSet));
    EXPECT_TRUE(program.Dialogs().IsOpen(SettingsDialog::AdjConf));
    program.Form().PassBut()->click();
    EXPECT_FALSE(program.Dialogs().IsOpen(SettingsDialog::PasswordSet));
    EXPECT_FALSE(program.Dialogs().IsOpen(SettingsDialog::AdjConf));
    EXPECT_FALSE(on("ResMenu"));

    // Limited access: rights 1, 12 and 14 only.
    login("22");
    EXPECT_EQ(program.State().Access.AccessStatus, kAccessLimited);
    EXPECT_TRUE(on("AddChanel") && on("ResMenu") && on("ResMenuItem3"));
    EXPECT_FALSE(on("SoerceMenu") || on("SoerceMenuItem1") || on("ReviewMenu") || on("N1") ||
                 on("N7"));
    EXPECT_TRUE(window->FindBtn()->isEnabled());
    EXPECT_FALSE(window->WriteBtn()->isEnabled());
    EXPECT_TRUE(PumpUntil([&] { return rig::CameraShown(*window) == 5; }, 15s));

    // Locked again and a login pending when the station closes.
    program.Form().PassBut()->click();
    program.Form().PassBut()->click();
    QPointer<TCheckPassword> pending = program.Access().CheckPassword();
    ASSERT_TRUE(pending);
    // The shut-down frees the open dialogs while the language texts are still there (their
    // closing lines need them): a probe in the registry, and the passwords dialog's rights.
    EXPECT_TRUE(program.Dialogs().IsOpen(SettingsDialog::CheckPassword));
    int lines_at_free = -1;
    program.Dialogs().Register(SettingsDialog::Rep,
                               [&] { lines_at_free = program.State().Base.LangList.Count(); });
    rig_.CloseStation();
    EXPECT_GT(lines_at_free, 300);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pending.isNull());
    EXPECT_EQ(program.State().Access.AccessStatus, kAccessLocked);
}

TEST_F(AccessOnBoard, WithoutDriversFullAccessLeavesTheBoardMenusOff) {
    rig_.StartMachine();
    ASSERT_TRUE(rig_.StartStation({}, kStartTimeout));
    ASSERT_TRUE(started());
    // No level-1 password: the lock button gives full access at once.
    rig_.Program().Form().PassBut()->click();
    EXPECT_EQ(rig_.Program().State().Access.AccessStatus, kAccessFull);
    for (const char* item : kBoardMenus) {
        EXPECT_FALSE(on(item)) << item;
    }
    for (const char* item : kOtherMenus) {
        EXPECT_TRUE(on(item)) << item;
    }
}

} // namespace
} // namespace station
