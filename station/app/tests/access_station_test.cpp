// Login, lock and the access-status refresh on the station's real main form (the program made,
// not started): every row of the control table for levels x boards x rights, items without a
// dialog kept off, the camera windows' buttons, the viewer hidden, which dialogs go; the menu
// handlers open their dialog once and without owner; the login through the lock button, a
// second attempt, lock, and the station taken down with a login pending or flashing.
// Screenshots: main_locked.png, main_unlocked.png in build/screenshots.
#include "station_program.h"

#include "camera_windows_run.h"
#include "form_snapshot.h"
#include "base/program_dir.h"
#include "lifecycle/main_menu.h"
#include "ui/common/qt_text.h"
#include "settings/settings_files.h"
#include "ui/live/chanel_form.h"

#include "manual_clock.h"
#include "temp_dir.h"

#include <platform/ui_recorder.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace station {
namespace {

namespace fs = std::filesystem;

void drain_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AccessStation : public ::testing::Test {
protected:
    void SetUp() override {
        SetProgramDir(program->State().Base, dir.string());
        ASSERT_TRUE(
            program->State().Base.LangList.LoadFromFile(fs::path(TOLM_BIN_DIR) / "tolm.lng"));
        program->Form().SetCaptions(program->State().Base.LangList);
    }
    StationState& state() { return program->State(); }
    TMain_Kastrel_Form& form() { return program->Form(); }
    bool on(const char* item) { return form().MenuItem(item)->isEnabled(); }
    void set_boards(std::array<bool, kChipCount> boards) {
        program->Life().Startup().ChipPresent = boards;
    }

    std::shared_ptr<platform::UiRecorder> recorder = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink{recorder};
    tolm_test::TempDir temp{"tolm-access-station"};
    fs::path dir = temp.path();
    std::unique_ptr<StationProgram> program = std::make_unique<StationProgram>();
};

// Each control's right (0: full access only) and the board it needs (0 none, -1 any, k).
struct Row {
    const char* name;
    int right;
    int board;
    bool built; // its handler (its dialog) is there
};
constexpr Row kRows[] = {
    {"StealthMenu", 16, 0, false},
    {"N1", 10, 0, true},
    {"N7", 0, 0, true},
    {"ReviewMenu", 2, 0, true},
    {"PriorMenu", 8, -1, false},
    {"FormDiskWriteModeMenu", 6, 0, false},
    {"MonControlMenu", 20, -1, false},
    {"AdjNetMenu", 5, 0, false},
    {"AdjADCMenu", 18, -1, false},
    {"AdjHardMenu", 19, -1, false},
    {"AdjRepMenu", 15, 0, false},
    {"ViewRepMenu", 15, 0, false},
    {"AddChanel", 1, 0, true},
    {"ResMenuItem1", 12, 1, true},
    {"ResMenuItem2", 12, 2, true},
    {"ResMenuItem3", 12, 3, true},
    {"ResMenuItem4", 12, 4, true},
    {"ResMenu", 12, -1, true},
    {"SoerceMenuItem1", 13, 1, true},
    {"SoerceMenuItem2", 13, 2, true},
    {"SoerceMenuItem3", 13, 3, true},
    {"SoerceMenuItem4", 13, 4, true},
    {"SoerceMenu", 13, -1, true},
};

TEST_F(AccessStation, StatusSetOnTheMainForm) {
    // Locked from the start.
    for (const Row& row : kRows) {
        EXPECT_FALSE(on(row.name)) << row.name;
    }
    ASSERT_TRUE(form().Click("AddChanel"));
    ASSERT_TRUE(form().Click("AddChanel"));
    const auto windows = CameraWindowsOf(form());
    ASSERT_EQ(windows.size(), 2u);
    // Locked: the new windows' buttons are off.
    EXPECT_FALSE(windows[0]->FindBtn()->isEnabled());
    EXPECT_FALSE(windows[1]->WriteBtn()->isEnabled());

    std::vector<std::array<bool, kChipCount>> boards = {{}};
    for (std::size_t k = 0; k < kChipCount; ++k) {
        std::array<bool, kChipCount> one{};
        one[k] = true;
        boards.push_back(one);
    }
    RightsTable all{};
    all.fill(true);
    RightsTable odd{};
    for (int n = 1; n <= kRightCount; n += 2) {
        odd[static_cast<std::size_t>(n - 1)] = true;
    }
    QWidget* viewer = program->Life().ViewForm();
    ASSERT_EQ(viewer, nullptr); // not started: no viewer, nothing to hide
    for (const std::uint8_t level : {kAccessLocked, kAccessFull, kAccessLimited}) {
        for (const auto& present : boards) {
            for (const RightsTable& rights : {RightsTable{}, all, odd}) {
                ASSERT_TRUE(SaveRightsFile(state().Base, rights));
                set_boards(present);
                state().Access.AccessStatus = level;
                program->Access().SystemStatusSet();
                const auto granted = [&](int n) {
                    return level == kAccessFull || (level == kAccessLimited && n != 0 &&
                                                    rights[static_cast<std::size_t>(n - 1)]);
                };
                for (const Row& row : kRows) {
                    bool board_ok = true;
                    if (row.board == -1) {
                        board_ok = present[0] || present[1] || present[2] || present[3];
                    } else if (row.board > 0) {
                        board_ok = present[static_cast<std::size_t>(row.board - 1)];
                    }
                    EXPECT_EQ(on(row.name), row.built && board_ok && granted(row.right))
                        << row.name << " level " << int(level) << " boards " << present[0]
                        << present[1] << present[2] << present[3];
                }
                for (TFormChanel* w : windows) {
                    EXPECT_EQ(w->FindBtn()->isEnabled(), granted(14));
                    EXPECT_EQ(w->WriteBtn()->isEnabled(), granted(17));
                }
            }
        }
    }
}

// A chip's driver dialog waiting for its capture to stop keeps its items off through a change
// of level; its own path gives them back.
TEST_F(AccessStation, PendingDriverDialogKeepsItsItems) {
    set_boards({true, true, true, true});
    state().Access.AccessStatus = kAccessFull;
    program->Access().SystemStatusSet();
    program->Live().Handoff.Chip(3).DriverConnected = true;
    ASSERT_TRUE(form().Click("ResMenuItem3"));
    EXPECT_FALSE(on("ResMenuItem3") || on("ResMenu"));
    form().PassBut()->click(); // lock
    form().PassBut()->click(); // no level-1 password: full access at once
    ASSERT_EQ(state().Access.AccessStatus, kAccessFull);
    EXPECT_FALSE(on("ResMenuItem3") || on("ResMenu"));
    EXPECT_TRUE(on("ResMenuItem2") && on("SoerceMenuItem3") && on("SoerceMenu"));
    program->Live().Handoff.DialogTimerTimer(3);
    EXPECT_TRUE(on("ResMenuItem3") && on("ResMenu"));
}

TEST_F(AccessStation, DialogsGoOnEveryChangeButTheLoginAndTheLoadingOne) {
    ASSERT_TRUE(SavePasswordFile(state().Base, 1, "12"));
    state().Access.AccessStatus = kAccessFull;
    program->Access().SystemStatusSet();
    ASSERT_TRUE(form().Click("N1"));
    ASSERT_TRUE(form().Click("N7"));
    QPointer<TAdjConf> adj_conf = program->Configuration().AdjConf();
    QPointer<TPasswordSet> password_set = program->Access().PasswordSet();
    ASSERT_TRUE(adj_conf && password_set);
    EXPECT_EQ(password_set->parent(), nullptr);
    EXPECT_EQ(adj_conf->parent(), nullptr);

    // Lock during the dialog's own load: the loading dialog stays, the others go.
    program->Configuration().State().ConfLoading = true;
    program->Access().PassButClick();
    program->Configuration().State().ConfLoading = false;
    drain_deletes();
    EXPECT_TRUE(adj_conf);
    EXPECT_FALSE(password_set);
    EXPECT_FALSE(form().PassButUnlocked());

    // A login pending: the refresh of another path leaves it open; the lock's refresh takes
    // the stored-configurations dialog.
    program->Access().PassButClick();
    QPointer<TCheckPassword> login = program->Access().CheckPassword();
    ASSERT_TRUE(login);
    program->Access().SystemStatusSet();
    drain_deletes();
    EXPECT_TRUE(login);
    EXPECT_FALSE(adj_conf);
}

TEST_F(AccessStation, MenuHandlersOpenOnceWithoutOwner) {
    program->Life().CreateForms(nullptr);
    state().Access.AccessStatus = kAccessFull;
    program->Access().SystemStatusSet();
    for (const char* item : {"N7", "N1"}) {
        SCOPED_TRACE(item);
        const auto before = QApplication::topLevelWidgets().size();
        form().MenuItem(item)->trigger();
        const auto opened = QApplication::topLevelWidgets().size();
        EXPECT_EQ(opened, before + 1);
        form().MenuItem(item)->trigger();
        EXPECT_EQ(QApplication::topLevelWidgets().size(), opened);
    }
    EXPECT_TRUE(program->Dialogs().IsOpen(SettingsDialog::PasswordSet));
    EXPECT_TRUE(program->Dialogs().IsOpen(SettingsDialog::AdjConf));

    // The viewer item shows the viewer unless it is visible; the next refresh hides it.
    QWidget* viewer = program->Life().ViewForm();
    ASSERT_NE(viewer, nullptr);
    EXPECT_FALSE(viewer->isVisible());
    form().MenuItem("ReviewMenu")->trigger();
    EXPECT_TRUE(viewer->isVisible());
    form().MenuItem("ReviewMenu")->trigger();
    EXPECT_TRUE(viewer->isVisible());
    program->Access().PassButClick(); // lock
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(program->Dialogs().IsOpen(SettingsDialog::PasswordSet));
    EXPECT_FALSE(program->Dialogs().IsOpen(SettingsDialog::AdjConf));
}

TEST_F(AccessStation, LoginThroughTheLockButton) {
    ASSERT_TRUE(SavePasswordFile(state().Base, 1, "123"));
    ASSERT_TRUE(SavePasswordFile(state().Base, 2, "7"));
    set_boards({true, false, false, false});
    program->Access().SystemStatusSet();
    form().show();
    QDir().mkpath(TOLM_SCREENSHOT_DIR);
    EXPECT_TRUE(MainFormSnapshot(form()).save(QString(TOLM_SCREENSHOT_DIR) + "/main_locked.png"));

    form().PassBut()->click();
    QPointer<TCheckPassword> login = program->Access().CheckPassword();
    ASSERT_TRUE(login);
    // A second attempt while it is open: nothing.
    form().PassBut()->click();
    EXPECT_EQ(program->Access().CheckPassword(), login.data());
    login->Edit1()->setText("7");
    login->OKBtnClick();
    drain_deletes();
    EXPECT_FALSE(login);
    EXPECT_EQ(state().Access.AccessStatus, kAccessLimited);
    EXPECT_TRUE(form().PassButUnlocked());
    EXPECT_FALSE(on("N7"));

    form().PassBut()->click(); // lock
    EXPECT_EQ(state().Access.AccessStatus, kAccessLocked);
    form().PassBut()->click();
    login = program->Access().CheckPassword();
    ASSERT_TRUE(login);
    login->Edit1()->setText("123");
    login->OKBtnClick();
    EXPECT_EQ(state().Access.AccessStatus, kAccessFull);
    // The ended dialog waits for its deletion: a lock and a new login meanwhile still work.
    ASSERT_TRUE(login);
    form().PassBut()->click();
    form().PassBut()->click();
    QPointer<TCheckPassword> again = program->Access().CheckPassword();
    ASSERT_TRUE(again);
    EXPECT_NE(again.data(), login.data());
    again->Edit1()->setText("123");
    again->OKBtnClick();
    drain_deletes();
    EXPECT_FALSE(login || again);
    EXPECT_EQ(state().Access.AccessStatus, kAccessFull);
    EXPECT_TRUE(on("N7") && on("ResMenuItem1") && !on("ResMenuItem2"));
    EXPECT_TRUE(MainFormSnapshot(form()).save(QString(TOLM_SCREENSHOT_DIR) + "/main_unlocked.png"));
    EXPECT_EQ(form().PassBut()->toolTip(), QtText(state().Base.LangList[kPassButHintLine]));
}

TEST_F(AccessStation, TakenDownWithALoginPendingOrFlashing) {
    ASSERT_TRUE(SavePasswordFile(state().Base, 1, "123"));
    for (const bool flashing : {false, true}) {
        SCOPED_TRACE(flashing ? "flashing" : "pending");
        const tolm_test::ScopedManualClock clock(10);
        auto station = std::make_unique<StationProgram>();
        SetProgramDir(station->State().Base, dir.string());
        station->Access().PassButClick();
        QPointer<TCheckPassword> login = station->Access().CheckPassword();
        ASSERT_TRUE(login);
        if (flashing) {
            login->Edit1()->setText("1");
            login->OKBtnClick();
            clock.advance(700);
            login->FlashTimerTimer();
        }
        station.reset();
        drain_deletes();
        EXPECT_FALSE(login);
        QCoreApplication::processEvents();
    }
}

} // namespace
} // namespace station
