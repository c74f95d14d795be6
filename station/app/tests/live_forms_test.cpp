// The camera window and diagnostics window widgets offscreen: adding windows, rights on the
// buttons, drawing through DrawDib, the monitor menu, the single-instance dialogs and the
// diagnostics figures; screenshots of both windows.
#include "ui/live/chanel_form.h"
#include "manual_clock.h"
#include "live_menus.h"
#include "live_timers.h"
#include "ui/live/mes_form.h"
#include "ui/common/settings_dialog.h"

#include "base/language.h"
#include "live/tests/live_fakes.h"
#include "ui/common/qt_text.h"

#include <pixaro/colorspace.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <platform/ui_recorder.h>
#include <thread>

namespace {

using namespace station;
using live_test::BitmapHeader;

void drain_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class LiveForms : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        hooks.QuerryStatus = [this](int right) { return rights.count(right) != 0; };
        hooks.OpenAdjFound = [this](int slot) { opened.push_back(slot); };
    }
    void TearDown() override {
        for (QObject* child : owner.children()) {
            delete dynamic_cast<TFormChanel*>(child);
        }
    }
    static void save(QWidget& w, const char* name) {
        QDir().mkpath(TOLM_SCREENSHOT_DIR);
        w.grab().save(QString(TOLM_SCREENSHOT_DIR) + "/" + name);
    }

    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    live_test::NoLivePorts ports;
    BaseState base_;
    LiveStation live{capture, board, base_, ports.Ports()};
    std::set<int> rights{1, 14, 17};
    std::vector<int> opened;
    ChanelHooks hooks;
    QWidget owner;
    tolm_test::ScopedManualClock clock_{10000};
};

TEST_F(LiveForms, AddChanelFillsSlotsInOrderAndReusesAClosedOne) {
    rights = {1, 14};
    std::vector<TFormChanel*> forms;
    for (int i = 1; i <= kSlotCount; ++i) {
        TFormChanel* f = AddChanelClick(live, hooks, &owner);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->Window().ChanelNumber, i);
        EXPECT_TRUE(f->isVisible());
        forms.push_back(f);
    }
    EXPECT_TRUE(forms[0]->FindBtn()->isEnabled());
    EXPECT_FALSE(forms[0]->WriteBtn()->isEnabled());
    EXPECT_EQ(AddChanelClick(live, hooks, &owner), nullptr);

    // Closing needs right 1; a closed window frees itself and its slot.
    rights.clear();
    EXPECT_FALSE(forms[2]->close());
    rights = {1};
    EXPECT_TRUE(forms[2]->close());
    drain_deletes();
    EXPECT_EQ(live.Slots.Used(3), nullptr);
    EXPECT_FALSE(live.Slots.ChanelPresent[3]);
    TFormChanel* again = AddChanelClick(live, hooks, &owner);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Window().ChanelNumber, 3);
}

TEST_F(LiveForms, CameraWindowLayoutCaptionAndMenu) {
    live.Tables.CamNames[1] = "\xC2\xF5\xEE\xE4"; // "Вход" in CP1251
    TFormChanel* f = AddChanelClick(live, hooks, &owner);
    ASSERT_NE(f, nullptr);
    f->resize(400, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(f->windowTitle(), QString::fromUtf8("Вход"));
    EXPECT_EQ(f->Panel2()->width(), 19);
    const QRect find = f->FindBtn()->geometry();
    const QRect write = f->WriteBtn()->geometry();
    EXPECT_EQ(find.width(), 17);
    EXPECT_EQ(find.height(), 17);
    EXPECT_EQ(find.left(), 1);
    EXPECT_EQ(find.bottom() + 1, f->Panel2()->height() - 1);
    EXPECT_EQ(write.bottom() + 1, find.top());
    EXPECT_TRUE(f->WriteBtn()->isCheckable());
    EXPECT_EQ(f->FindBtn()->toolTip(), LangText(base_.LangList, 5));

    f->SetNewRecPNumOfCam("x");
    f->Window().RemNumber = 3;
    f->SetNewRecPNumOfCam("Gate");
    EXPECT_EQ(f->windowTitle(), "3 : Gate");
    // Restored from minimised, the window keeps the remote camera's name.
    f->showMinimized();
    QCoreApplication::processEvents();
    f->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(f->windowTitle(), "3 : Gate");

    f->FindBtn()->click();
    EXPECT_EQ(opened, (std::vector<int>{1}));
    ASSERT_EQ(f->MonSelectMenu()->actions().size(), 4);
    live.Tables.MonManual[3] = true;
    f->Window().RemNumber = 0;
    f->Window().CamNumber = 9;
    f->MonSelectMenu()->actions()[2]->trigger();
    EXPECT_EQ(board.monitors, (std::vector<std::tuple<int, int>>{{3, 9}}));
}

TEST_F(LiveForms, FramesAreDrawnOnThePanel) {
    TFormChanel* f = AddChanelClick(live, hooks, &owner);
    ASSERT_NE(f, nullptr);
    f->resize(400, 300);
    QCoreApplication::processEvents();
    const int w = 64, h = 48;
    // An 8-bit grey frame: the panel shows its grey.
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(w * h), 200);
    f->Window().TakeLocalFrame(BitmapHeader(w, h, 8), grey);
    const QImage& picture = f->Panel1()->Picture();
    EXPECT_EQ(QColor(picture.pixel(10, 10)), QColor(200, 200, 200));

    // A 24-bit frame with a red top half (rows bottom-up, BGR).
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w * h * 3), 0);
    for (int y = h / 2; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            rgb[static_cast<std::size_t>((y * w + x) * 3 + 2)] = 255;
        }
    }
    f->Window().TakeLocalFrame(BitmapHeader(w, h, 24), rgb);
    EXPECT_EQ(QColor(picture.pixel(5, 5)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(picture.pixel(5, picture.height() - 5)), QColor(0, 0, 0));

    // Detection points are drawn while the settings dialog edits this window.
    live.AdjFound = {true, 1, false};
    f->Window().PanelMouseDown(MouseButton::Left, false, 100, 100, 0, 0);
    f->Window().TakeLocalFrame(BitmapHeader(w, h, 8), grey);
    const int px = PerMilleToPixel(f->Panel1()->width(), f->Window().Detection.PointX[0]);
    const int py = PerMilleToPixel(f->Panel1()->height(), f->Window().Detection.PointY[0]);
    EXPECT_EQ(QColor(picture.pixel(px - 1, py - 1)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(picture.pixel(px + 2, py + 2)), QColor(200, 200, 200));

    // A packed 4:1:1 frame (a horizontal grey ramp) goes through two conversions.
    std::vector<std::uint8_t> yuy2(static_cast<std::size_t>(w * h * 2));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto at = static_cast<std::size_t>((y * w + x) * 2);
            yuy2[at] = static_cast<std::uint8_t>(16 + x * 3);
            yuy2[at + 1] = 128;
        }
    }
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(w * h * 12 / 8));
    ASSERT_EQ(ColorspaceConv(packed.data(), yuy2.data(), w, h, pixaro::BTYUV, pixaro::YUY2), 1);
    live.AdjFound = {};
    f->Window().TakeLocalFrame(BitmapHeader(w, h, 16, kSubformatPacked411), packed);
    const QColor left(picture.pixel(3, 150));
    const QColor right(picture.pixel(picture.width() - 3, 150));
    EXPECT_LT(left.green(), 40);
    EXPECT_GT(right.green(), 180);
    EXPECT_NEAR(right.red(), right.green(), 8);
    save(*f, "camera_window.png");

    // Repaint after a quiet spell clears the picture.
    f->Panel1()->Repaint();
    EXPECT_NE(QColor(picture.pixel(10, 10)), QColor(200, 200, 200));
}

// A settings dialog that counts its destroy actions and its Cancel (reject).
class CountingDialog : public QDialog, public DestroyActions {
public:
    CountingDialog(int& destroyed, int& cancelled) : destroyed_(destroyed), cancelled_(cancelled) {}
    ~CountingDialog() override { RunDestroyActions(); }
    void reject() override {
        ++cancelled_;
        QDialog::reject();
    }

protected:
    void FormDestroy() override { ++destroyed_; }

private:
    int& destroyed_;
    int& cancelled_;
};

TEST_F(LiveForms, SettingsDialogsAreSingleInstances) {
    DialogRegistry registry;
    int made = 0;
    int destroyed = 0;
    int cancelled = 0;
    auto make = [&] {
        ++made;
        return new CountingDialog(destroyed, cancelled);
    };
    auto open = [&] {
        return OpenSettingsDialog<CountingDialog>(registry, SettingsDialog::Prior, make);
    };
    QPointer<CountingDialog> first = open();
    ASSERT_TRUE(first);
    EXPECT_TRUE(registry.IsOpen(SettingsDialog::Prior));
    first->lower();
    EXPECT_EQ(open(), nullptr) << "neither a second one nor the first brought up";
    EXPECT_EQ(made, 1);

    // Closed by itself: the entry clears when it goes, its destroy actions ran once.
    first->close();
    drain_deletes();
    EXPECT_FALSE(first);
    EXPECT_FALSE(registry.IsOpen(SettingsDialog::Prior));
    EXPECT_EQ(destroyed, 1);

    // Freed from outside: the entry clears at once, the destroy actions run at once and only
    // once, no Cancel; the dialog goes later.
    QPointer<CountingDialog> second = open();
    ASSERT_TRUE(second);
    cancelled = 0;
    registry.Free(kSystemStatusFrees);
    EXPECT_FALSE(registry.IsOpen(SettingsDialog::Prior));
    EXPECT_EQ(destroyed, 2);
    EXPECT_TRUE(second) << "deleted later";
    EXPECT_FALSE(second->isVisible());
    // A new one may open before the old one is gone; the old one's going keeps its entry.
    QPointer<CountingDialog> third = open();
    ASSERT_TRUE(third);
    drain_deletes();
    EXPECT_FALSE(second);
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(cancelled, 0);
    EXPECT_TRUE(registry.IsOpen(SettingsDialog::Prior));
    registry.Free(kShutdownFrees);
    drain_deletes();
    EXPECT_FALSE(third);
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(cancelled, 0);
}

TEST_F(LiveForms, DiagnosticsWindowShowsTheFigures) {
    {
        TMesForm mes(live);
        EXPECT_EQ(live.Handoff.MesForm(), &mes.Figures());
        mes.show();
        EXPECT_TRUE(mes.Figures().Visible);
        EXPECT_EQ(mes.windowTitle(), LangText(base_.LangList, 273));
        EXPECT_EQ(mes.StopBtn()->text(), LangText(base_.LangList, 309));
        EXPECT_EQ(mes.Label1()->text(), "0000");

        Diagnostics& d = mes.Figures();
        d.IntervalProcess(2, 1);
        platform::clock::advance(40);
        d.IntervalProcess(2, 1);
        d.BufStates[1][0] = kBufBad;
        d.BufStates[1][1] = kBufReady;
        d.BufStates[2][0] = kBufWithChip;
        d.BufCursorMarks[1][1] = 1;
        d.SetErrorWord(0x4000);
        board.figures.ErrorCounts[1][2] = 5;
        d.AddRegsLine("Chip 1 Reg 10 Value=00-->F0 Time 10.12.2026 9:05:07");
        mes.Refresh();
        EXPECT_EQ(mes.DG1()->item(2, 1)->text(), "40.00");
        EXPECT_EQ(mes.DG1()->item(0, 1)->text(), LangText(base_.LangList, 274) + " 1");
        EXPECT_EQ(mes.DG2()->item(2, 3)->text(), "5");
        EXPECT_EQ(mes.Label1()->text(), "00004000");
        EXPECT_EQ(mes.RegsMemo()->blockCount(), 1);
        EXPECT_EQ(mes.DG2()->columnWidth(0), 146);

        mes.StopBtn()->click();
        EXPECT_TRUE(d.StopBtnDown);
        EXPECT_FALSE(d.AddRegsLine("kept out"));
        mes.MemoResetBtn()->click();
        mes.Refresh();
        EXPECT_TRUE(mes.RegsMemo()->toPlainText().isEmpty());
        mes.StopBtn()->click();
        d.AddRegsLine("after");
        mes.Refresh();
        EXPECT_EQ(mes.RegsMemo()->toPlainText(), "after");
        save(mes, "diagnostics_window.png");
        mes.hide();
        EXPECT_FALSE(d.Visible);
    }
    // Destroyed: the hand-off stops feeding it.
    EXPECT_EQ(live.Handoff.MesForm(), nullptr);
}

} // namespace

namespace {

// Runs the event loop until `done` or about a second of real time.
template <class Done> bool spin_until(Done done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

TEST(LiveTimerWiring, EngineFlagsDriveTheQtTimers) {
    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    live_test::NoLivePorts ports;
    BaseState base;
    LiveStation live{capture, board, base, ports.Ports()};
    LiveTimers timers(live);
    EXPECT_FALSE(timers.MainCycleTimer().isActive());

    // A capture start requested by the engine runs once, 1 ms later.
    live.Handoff.Chip(2).DriverConnected = true;
    live.Handoff.Chip(2).StartCaptureTimerEnabled = true;
    timers.Sync();
    EXPECT_TRUE(spin_until([&] { return live.Handoff.Chip(2).StartPending.load(); }));
    EXPECT_FALSE(timers.StartCaptureTimer(2).isActive());

    // The main cycle keeps itself going: off during a pass, on after it.
    live.Cycle.MainCycleTimerEnabled = true;
    timers.Sync();
    int passes = 0;
    live.Handoff.Chip(1).FrameCopies[1].Pending = true;
    EXPECT_TRUE(spin_until([&] {
        passes += live.Handoff.Chip(1).FrameCopies[1].Pending ? 0 : 1;
        live.Handoff.Chip(1).FrameCopies[1].Pending = true;
        return passes >= 3;
    }));
    EXPECT_TRUE(timers.MainCycleTimer().isActive());

    // A driver error from another thread reaches a message box on this one.
    auto recorder = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink(recorder);
    std::thread layer([&] { live.Handoff.CaptureErrorCallback(1, 5, "driver failed"); });
    layer.join();
    EXPECT_TRUE(spin_until([&] { return !recorder->boxes().empty(); }));
    ASSERT_EQ(recorder->boxes().size(), 1u);
    EXPECT_EQ(recorder->boxes()[0].text, "driver failed");
}

} // namespace

namespace {

TEST(LiveMenus, MainFormItemsReachTheEngine) {
    BaseState base_;
    ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    TMain_Kastrel_Form form;
    form.SetCaptions(base_.LangList);
    bool formatRight = true;
    bool sourceRight = true;
    FormMenus menus(form, [&](int right) {
        return (right != 12 || formatRight) && (right != 13 || sourceRight);
    });
    live_test::NoLivePorts none;
    LiveStation live{capture, board, base_, {none.remotes, menus, none.actions}};
    ConnectLiveMenus(form, live, ChanelHooks{});

    form.MenuItem("AddChanel")->trigger();
    form.MenuItem("AddChanel")->trigger();
    EXPECT_NE(live.Slots.Used(1), nullptr);
    EXPECT_NE(live.Slots.Used(2), nullptr);

    // The format dialog of chip 3: menus off and capture stopped until the dialog is done.
    live.Handoff.Chip(3).DriverConnected = true;
    form.MenuItem("ResMenuItem3")->trigger();
    EXPECT_FALSE(form.MenuItem("ResMenu")->isEnabled());
    EXPECT_FALSE(form.MenuItem("ResMenuItem3")->isEnabled());
    EXPECT_TRUE(form.MenuItem("ResMenuItem2")->isEnabled());
    EXPECT_EQ(capture.log.back(), "stop 3");
    formatRight = false;
    live.Handoff.DialogTimerTimer(3);
    EXPECT_EQ(capture.log.back(), "dlgformat 3");
    EXPECT_FALSE(form.MenuItem("ResMenu")->isEnabled()); // right 12 withheld
    EXPECT_TRUE(live.Handoff.Chip(3).StartCaptureTimerEnabled);

    // A chip without a driver: nothing happens.
    form.MenuItem("SoerceMenuItem1")->trigger();
    EXPECT_TRUE(form.MenuItem("SoerceMenu")->isEnabled());

    // The source dialog of chip 3 the same way; its menu comes back by its own right (13), and
    // stays off without it.
    for (const bool right : {true, false}) {
        SCOPED_TRACE(right);
        sourceRight = right;
        form.MenuItem("SoerceMenuItem3")->trigger();
        EXPECT_FALSE(form.MenuItem("SoerceMenu")->isEnabled());
        EXPECT_FALSE(form.MenuItem("SoerceMenuItem3")->isEnabled());
        EXPECT_TRUE(form.MenuItem("SoerceMenuItem2")->isEnabled());
        EXPECT_EQ(capture.log.back(), "stop 3");
        live.Handoff.DialogTimerTimer(3);
        EXPECT_EQ(capture.log.back(), "dlgsource 3");
        EXPECT_EQ(form.MenuItem("SoerceMenu")->isEnabled(), right);
        EXPECT_EQ(form.MenuItem("SoerceMenuItem3")->isEnabled(), right);
        EXPECT_FALSE(form.MenuItem("ResMenu")->isEnabled());
    }

    for (QObject* child : form.children()) {
        delete dynamic_cast<TFormChanel*>(child);
    }
}

} // namespace
